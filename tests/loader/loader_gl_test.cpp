// The loader thread against real GL (Mesa under Xvfb): a context of its own sharing objects
// with the test's window context, fed and drained through the two queues.

#include <gtest/gtest.h>

#include <SDL.h>
#include <epoxy/gl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "framework/gl/glsl_prog.h"
#include "framework/resources.h"
#include "platform/gl_context.h"
#include "player/lumivex_app.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using framework::gl::GlslProg;
using framework::gl::GlslProgRef;

namespace {

constexpr int kSize = 64;
const std::string kPrefix = "Failed to compile the shader: ";

std::string text(int number) { return std::string(framework::loadResource(number, "FRAG")->asText()); }

std::vector<std::string> splitLines(const std::string& all) {
    std::vector<std::string> lines;
    std::istringstream in(all);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Standard error into a file for as long as the object lives; the console writes there.
class StderrCapture {
public:
    StderrCapture() {
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        file_ = std::tmpfile();
        ::dup2(::fileno(file_), STDERR_FILENO);
    }
    ~StderrCapture() { restore(); }
    std::string restore() {
        if (saved_ >= 0) {
            std::fflush(stderr);
            ::dup2(saved_, STDERR_FILENO);
            ::close(saved_);
            saved_ = -1;
            std::rewind(file_);
            std::ostringstream all;
            for (int c; (c = std::fgetc(file_)) != EOF;) all.put(static_cast<char>(c));
            std::fclose(file_);
            text_ = all.str();
        }
        return text_;
    }

private:
    int saved_ = -1;
    std::FILE* file_ = nullptr;
    std::string text_;
};

std::string stageSource(const GlslProgRef& program, GLenum stage) {
    GLuint shaders[4] = {};
    GLsizei count = 0;
    glGetAttachedShaders(program->getHandle(), 4, &count, shaders);
    for (GLsizei i = 0; i < count; ++i) {
        GLint type = 0, length = 0;
        glGetShaderiv(shaders[i], GL_SHADER_TYPE, &type);
        if (static_cast<GLenum>(type) != stage) continue;
        glGetShaderiv(shaders[i], GL_SHADER_SOURCE_LENGTH, &length);
        std::string source(static_cast<std::size_t>(length), '\0');
        GLsizei written = 0;
        glGetShaderSource(shaders[i], length, &written, source.data());
        source.resize(static_cast<std::size_t>(written));
        return source;
    }
    return "<no such stage>";
}

// The path's UTF-8 bytes as the wide string a drop carries, whatever the locale.
std::wstring wide(const fs::path& path) {
    const std::string& bytes = path.native();
    std::wstring out;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        int length = c < 0x80 ? 1 : c < 0xe0 ? 2 : c < 0xf0 ? 3 : 4;
        char32_t code = length == 1 ? c : c & (0x7f >> length);
        for (int k = 1; k < length; ++k) code = (code << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3f);
        out += static_cast<wchar_t>(code);
        i += static_cast<std::size_t>(length);
    }
    return out;
}

class Loader : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Every build compiles for real, not from an earlier run's cache.
        ::setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        window = SDL_CreateWindow("loader test", 0, 0, kSize, kSize, SDL_WINDOW_OPENGL);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        mainContext = SDL_GL_CreateContext(window);
        ASSERT_NE(mainContext, nullptr) << SDL_GetError();
        ASSERT_EQ(SDL_GL_MakeCurrent(window, mainContext), 0);
    }
    static void TearDownTestSuite() {
        SDL_GL_DeleteContext(mainContext);
        SDL_DestroyWindow(window);
        SDL_Quit();
    }

    void SetUp() override {
        app = std::make_unique<LumivexApp>();
        app->requestQueue = new ShaderQueue(100);
        app->resultQueue = new ShaderQueue(100);
        platform::GlContext loaderContext = platform::createContext(window);
        ASSERT_NE(loaderContext, nullptr);
        ASSERT_EQ(platform::currentContext(), mainContext) << "creating a context changed the caller's";
        ASSERT_TRUE(platform::shareLists(mainContext, loaderContext));
        app->loaderStop = false;
        thread = std::thread(&LumivexApp::loaderMain, app.get(), window, loaderContext);
    }

    void TearDown() override {
        stopLoader();
        delete app->resultQueue;
        delete app->requestQueue;
        app->resultQueue = app->requestQueue = nullptr;
    }

    // As shutdown does it: the flag, the cancel of a push that could wait for ever, the join.
    void stopLoader() {
        if (!thread.joinable()) return;
        app->loaderStop = true;
        if (!app->resultQueue->isNotFull()) app->resultQueue->cancel();
        thread.join();
    }

    void request(int id) { app->requestQueue->pushFront(ShaderRequest(id)); }
    void requestFile(const fs::path& path) {
        ShaderRequest r;
        r.path = wide(path);
        app->requestQueue->pushFront(r);
    }

    template <typename Pred>
    static bool waitFor(Pred pred, std::chrono::milliseconds limit = 60s) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (!pred()) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(2ms);
        }
        return true;
    }

    ShaderRequest nextResult() {
        ShaderRequest r(-1);
        if (waitFor([&] { return app->resultQueue->isNotEmpty(); })) app->resultQueue->popBack(r);
        return r;
    }

    static std::array<unsigned char, 4> pixel(int x, int y) {
        std::array<unsigned char, 4> rgba{};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        return rgba;
    }

    static void drawQuad() {
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(1, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0); glVertex2f(-1, -1);
        glTexCoord2f(1, 0); glVertex2f(1, -1);
        glTexCoord2f(1, 1); glVertex2f(1, 1);
        glTexCoord2f(0, 1); glVertex2f(-1, 1);
        glEnd();
        glFinish();
    }

    static inline SDL_Window* window = nullptr;
    static inline SDL_GLContext mainContext = nullptr;
    std::unique_ptr<LumivexApp> app;
    std::thread thread;
};

TEST_F(Loader, ProgramBuiltOnTheLoaderDrawsOnTheMainContext) {
    request(67);
    ShaderRequest r = nextResult();
    ASSERT_EQ(r.id, 67);
    ASSERT_TRUE(r.program);
    EXPECT_TRUE(r.path.empty());

    r.program->bind();
    r.program->uniform("iResolution", framework::Vec3f{float(kSize), float(kSize), 1.0f});
    r.program->uniform("iMouse", framework::Vec4f{0.2f, 0.4f, 0.6f, 1.0f});
    // A header uniform the body never reads has no location, and setting it is harmless.
    EXPECT_EQ(r.program->getUniformLocation("iDate"), -1);
    EXPECT_EQ(r.program->getUniformLocation("iDate"), -1);
    r.program->uniform("iDate", framework::Vec4f{1, 2, 3, 4});
    r.program->uniform("iSampleRate", 44000.0f);
    r.program->uniform("iChannel0", 0);
    drawQuad();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    auto mid = pixel(kSize / 2, kSize / 2);
    EXPECT_NEAR(mid[0], 51, 2);
    EXPECT_NEAR(mid[1], 102, 2);
    EXPECT_NEAR(mid[2], 153, 2);
    EXPECT_EQ(mid[3], 255);
    auto bottom = pixel(kSize / 2, 2);   // below the band
    auto top = pixel(kSize / 2, kSize - 3);
    EXPECT_EQ((std::array<unsigned char, 4>{0, 0, 0, 255}), bottom);
    EXPECT_EQ((std::array<unsigned char, 4>{0, 0, 0, 255}), top);
    GlslProg::unbind();
}

TEST_F(Loader, ResultsKeepTheRequestOrderAndSourcesAreHeaderThenBody) {
    const int ids[] = {81, 67, 70, 67};
    for (int id : ids) request(id);
    for (int id : ids) {
        ShaderRequest r = nextResult();
        ASSERT_EQ(r.id, id);
        ASSERT_TRUE(r.program);
        EXPECT_EQ(stageSource(r.program, GL_VERTEX_SHADER), text(64));
        const std::string fragment = stageSource(r.program, GL_FRAGMENT_SHADER);
        EXPECT_EQ(fragment, text(66) + text(id));
        EXPECT_EQ(fragment.rfind("#version 120", 0), 0u);
    }
}

TEST_F(Loader, MissingBodyGivesOneLineAndTheNextRequestStillBuilds) {
    StderrCapture capture;
    request(69);
    request(67);
    ShaderRequest r = nextResult();
    stopLoader();
    const std::string out = capture.restore();
    EXPECT_EQ(r.id, 67);
    EXPECT_TRUE(r.program);
    EXPECT_EQ(out, kPrefix + "Failed to load resource: #69 type: FRAG\n");
    EXPECT_FALSE(app->resultQueue->isNotEmpty());
}

TEST_F(Loader, BodyThatFailsToCompileGivesOneLineWithTheCompilersLog) {
    // The same build on this thread gives the log the line must carry.
    std::string expected;
    try {
        GlslProg(text(64), text(66) + text(68));
        FAIL() << "the broken body compiled";
    } catch (const framework::gl::GlslProgCompileExc& e) {
        expected = e.what();
    }
    ASSERT_EQ(expected.rfind("FRAGMENT: ", 0), 0u);
    ASSERT_NE(expected.find("undeclaredValue"), std::string::npos) << expected;

    StderrCapture capture;
    request(68);
    request(67);
    ShaderRequest r = nextResult();
    stopLoader();
    const auto lines = splitLines(capture.restore());
    EXPECT_EQ(r.id, 67);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind(kPrefix + "FRAGMENT: ", 0), 0u) << lines[0];
    // Every line of the log is in the console line, in order.
    std::size_t at = 0;
    for (const auto& logLine : splitLines(expected)) {
        std::string part = logLine.rfind("FRAGMENT: ", 0) == 0 ? logLine.substr(10) : logLine;
        if (part.empty()) continue;
        at = lines[0].find(part, at);
        ASSERT_NE(at, std::string::npos) << "missing \"" << part << "\" in " << lines[0];
    }
}

TEST_F(Loader, StopDuringABuildLetsItFinishAndPush) {
    request(70);
    request(67);
    // One popped, one waiting: the loader has read the flag for this pass and is building.
    ASSERT_TRUE(waitFor([&] { return app->requestQueue->size() == 1; }, 60s));
    const bool stillBuilding = !app->resultQueue->isNotEmpty();
    const auto start = std::chrono::steady_clock::now();
    app->loaderStop = true;
    thread.join();
    const auto waited = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(app->resultQueue->size(), 1u);
    ShaderRequest r;
    app->resultQueue->popBack(r);
    EXPECT_EQ(r.id, 70);
    EXPECT_TRUE(r.program);
    EXPECT_EQ(app->requestQueue->size(), 1u) << "a request was taken after the flag went up";
    std::cout << "join waited " << std::chrono::duration<double, std::milli>(waited).count() << " ms\n";
    if (!stillBuilding) GTEST_SKIP() << "the build was over before the flag went up";
}

TEST_F(Loader, IdleLoaderEndsWithinAPassAndLeavesQueuedRequestsUnbuilt) {
    std::this_thread::sleep_for(30ms);
    auto start = std::chrono::steady_clock::now();
    app->loaderStop = true;
    thread.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
    request(67);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(app->requestQueue->size(), 1u);
    EXPECT_FALSE(app->resultQueue->isNotEmpty());
}

TEST_F(Loader, ShutdownWithAHundredUnclaimedResultsReturns) {
    for (int i = 0; i < 104; ++i) request(67);
    // 100 results, and the 101st popped: the loader is building it or waiting to push it.
    ASSERT_TRUE(waitFor([&] { return app->resultQueue->size() == 100 && app->requestQueue->size() == 3; }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(app->resultQueue->size(), 100u);
    auto start = std::chrono::steady_clock::now();
    stopLoader();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(app->resultQueue->size(), 100u);
    EXPECT_EQ(app->requestQueue->size(), 3u);
    std::weak_ptr<GlslProg> first;
    {
        ShaderRequest r;
        app->resultQueue->popBack(r);
        first = r.program;
    }
    EXPECT_FALSE(first.expired()) << "the queue's stored copy keeps the program";
    delete app->resultQueue;
    app->resultQueue = new ShaderQueue(100);
    EXPECT_TRUE(first.expired()) << "destroying the queue released the unclaimed programs";
}

class DroppedFiles : public Loader {
protected:
    void SetUp() override {
        Loader::SetUp();
        dir = fs::temp_directory_path() / ("lumivex-drop-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        Loader::TearDown();
        fs::remove_all(dir);
    }
    fs::path write(const std::string& name, const std::string& bytes) {
        fs::path p = dir / name;
        std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return p;
    }
    fs::path dir;
};

TEST_F(DroppedFiles, ValidFileBuildsAsAnEffectBodyAfterTheHeader) {
    const std::string body = text(67);
    fs::path plain = write("probe.frag", body);
    fs::path accented = write("pr\xc3\xb6" "be d\xc3\xa9j\xc3\xa0.glsl", "// caf\xc3\xa9\n" + body);
    fs::path exactLimit = write("limit.frag", body + std::string(1024 * 1024 - body.size() - 1, ' ') + "\n");
    requestFile(plain);
    requestFile(accented);
    requestFile(exactLimit);
    for (const fs::path& p : {plain, accented, exactLimit}) {
        ShaderRequest r = nextResult();
        ASSERT_TRUE(r.program) << p;
        EXPECT_EQ(r.id, 0);
        EXPECT_EQ(r.path, wide(p));
        std::ifstream in(p, std::ios::binary);
        std::string fileText((std::istreambuf_iterator<char>(in)), {});
        EXPECT_EQ(stageSource(r.program, GL_FRAGMENT_SHADER), text(66) + fileText);
        EXPECT_EQ(stageSource(r.program, GL_VERTEX_SHADER), text(64));
    }
}

TEST_F(DroppedFiles, EveryBadKindGivesOneLineAndNothingElse) {
    const std::string body = text(67);
    fs::path sub = dir / "a-directory";
    fs::create_directory(sub);
    fs::path fifo = dir / "a-pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        fs::path path;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {dir / "missing.frag", "no such file"},
        {sub, "it is a directory"},
        {fifo, "it is not a regular file"},
        {write("big.frag", body + std::string(1024 * 1024 + 1 - body.size(), ' ')), "larger than 1 MiB"},
        {write("empty.frag", ""), "empty"},
        {write("nul.frag", body + std::string(1, '\0')), "not a text file"},
        {write("latin1.frag", "// caf\xe9\n" + body), "not a text file"},
        {write("control.frag", "\x01" + body), "not a text file"},
        {write("picture.png", "\x89PNG\r\n\x1a\n"), "not a text file"},
        {write("broken.frag", text(68)), "FRAGMENT: "},
        {write("versioned.frag", "#version 120\n" + body), "FRAGMENT: "},
    };
    StderrCapture capture;
    for (const auto& c : cases) requestFile(c.path);
    request(67);  // the show goes on
    ShaderRequest r = nextResult();
    stopLoader();
    const auto lines = splitLines(capture.restore());
    EXPECT_EQ(r.id, 67);
    EXPECT_FALSE(app->resultQueue->isNotEmpty());
    ASSERT_EQ(lines.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string start = kPrefix + cases[i].path.string() + ": ";
        EXPECT_EQ(lines[i].rfind(start, 0), 0u) << lines[i];
        EXPECT_NE(lines[i].find(cases[i].reason), std::string::npos) << lines[i];
    }
}

}  // namespace

namespace {

TEST(StartLoader, WithoutAWindowReportsFailureAndStartsNoThread) {
    LumivexApp app;
    app.requestQueue = new ShaderQueue(100);
    app.resultQueue = new ShaderQueue(100);
    EXPECT_FALSE(app.startLoader());
    EXPECT_FALSE(app.loaderThread);
    delete app.resultQueue;
    delete app.requestQueue;
}

}  // namespace
