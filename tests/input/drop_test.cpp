// Files dropped on the running player: SDL drop events go through the framework's event
// pump into fileDrop, and from there to the loader and the screen.

#include <gtest/gtest.h>

#include <SDL.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../show/probe_app.h"
#include "player/timeline.h"

namespace fs = std::filesystem;

namespace {

// One drop as the X11 driver reports it: begin, one event per file, complete.
void pushDrop(ProbeApp& app, const std::vector<std::string>& paths) {
    const Uint32 window = SDL_GetWindowID(app.getWindow()->getNative());
    SDL_Event event{};
    event.drop.type = SDL_DROPBEGIN;
    event.drop.windowID = window;
    SDL_PushEvent(&event);
    for (const std::string& path : paths) {
        event = SDL_Event{};
        event.drop.type = SDL_DROPFILE;
        event.drop.file = SDL_strdup(path.c_str());
        event.drop.windowID = window;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }
    event = SDL_Event{};
    event.drop.type = SDL_DROPCOMPLETE;
    event.drop.windowID = window;
    SDL_PushEvent(&event);
}

std::vector<ShaderRequest> drain(ShaderQueue& queue) {
    std::vector<ShaderRequest> records;
    while (queue.isNotEmpty()) {
        ShaderRequest record;
        queue.popBack(record);
        records.push_back(record);
    }
    return records;
}

// Sends this process's console (standard error) into a file for the test's duration.
class ConsoleCapture {
public:
    ConsoleCapture() : path_(fs::temp_directory_path() / ("console-" + std::to_string(getpid()))) {
        std::fflush(stderr);
        saved_ = dup(2);
        std::FILE* file = std::fopen(path_.c_str(), "w");
        dup2(fileno(file), 2);
        std::fclose(file);
    }
    ~ConsoleCapture() { restore(); fs::remove(path_); }
    std::vector<std::string> lines() {
        restore();
        std::ifstream in(path_);
        std::vector<std::string> result;
        for (std::string line; std::getline(in, line);) result.push_back(line);
        return result;
    }

private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        saved_ = -1;
    }
    fs::path path_;
    int saved_ = -1;
};

fs::path scratchFolder(const std::string& name) {
    fs::path folder = fs::temp_directory_path() / ("lumivex-drop-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

}  // namespace

TEST(Drop, ThreeFilesQueueThreeRequestsInOrder) {
    bool ran = false;
    std::vector<std::string> paths = {"/tmp/a shader.frag", "/tmp/b.frag", "/tmp/\xc3\xa9t\xc3\xa9.glsl"};
    std::vector<std::string> lines;
    ConsoleCapture console;
    auto* app = new ProbeApp;
    app->onFrame = [&](ProbeApp& a, int frame) {
        if (frame == 0) {
            pushDrop(a, paths);
            return;
        }
        ran = true;
        a.quit();
        std::vector<ShaderRequest> records = drain(*a.requestQueue);
        ASSERT_EQ(records.size(), 3u);
        const std::wstring expected[3] = {L"/tmp/a shader.frag", L"/tmp/b.frag", L"/tmp/\u00e9t\u00e9.glsl"};
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(records[i].path, expected[i]);
            EXPECT_EQ(records[i].id, 0);
            EXPECT_FALSE(records[i].program);
        }
    };
    EXPECT_EQ(runProbe(app), 0);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(console.lines().empty());
}

TEST(Drop, NameNotInUtf8KeepsItsPlace) {
    bool ran = false;
    auto* app = new ProbeApp;
    app->onFrame = [&](ProbeApp& a, int frame) {
        if (frame == 0) {
            pushDrop(a, {"/tmp/one", "/tmp/caf\xe9.frag", "/tmp/three"});
            return;
        }
        ran = true;
        a.quit();
        std::vector<ShaderRequest> records = drain(*a.requestQueue);
        ASSERT_EQ(records.size(), 3u);
        EXPECT_EQ(records[1].path, L"/tmp/caf\ufffd.frag");
        EXPECT_EQ(records[2].path, L"/tmp/three");
    };
    EXPECT_EQ(runProbe(app), 0);
    EXPECT_TRUE(ran);
}

TEST(Drop, OnlyWhatFitsIsQueued) {
    bool ran = false;
    std::vector<std::string> paths;
    for (int i = 0; i < 150; ++i) paths.push_back("/tmp/drop-" + std::to_string(i) + ".frag");
    ConsoleCapture console;
    auto* app = new ProbeApp;
    app->onFrame = [&](ProbeApp& a, int frame) {
        if (frame == 0) {
            pushDrop(a, paths);
            return;
        }
        if (frame == 1) {
            std::vector<ShaderRequest> records = drain(*a.requestQueue);
            ASSERT_EQ(records.size(), 100u);
            for (std::size_t i = 0; i < records.size(); ++i)
                EXPECT_EQ(records[i].path, fs::path(paths[i]).wstring());
            // With 97 places taken, a drop of five queues its first three.
            for (int i = 0; i < 97; ++i) a.requestQueue->pushFront(ShaderRequest(81));
            pushDrop(a, {"/tmp/x1", "/tmp/x2", "/tmp/x3", "/tmp/x4", "/tmp/x5"});
            return;
        }
        ran = true;
        a.quit();
        std::vector<ShaderRequest> records = drain(*a.requestQueue);
        ASSERT_EQ(records.size(), 100u);
        EXPECT_EQ(records[96].id, 81);
        EXPECT_EQ(records[97].path, L"/tmp/x1");
        EXPECT_EQ(records[99].path, L"/tmp/x3");
    };
    EXPECT_EQ(runProbe(app), 0);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(console.lines().empty());
}

// The whole show with every duration 0 and no end: each program is switched in as soon as
// it is built, so a dropped shader shows right after the 28 of the timeline.
TEST(Drop, BadFilesAreReportedAndAValidShaderShowsNext) {
    const fs::path folder = scratchFolder("files");
    const fs::path missing = folder / "missing.frag";
    const fs::path directory = folder / "a-directory.frag";
    fs::create_directory(directory);
    const fs::path big = folder / "big.frag";
    writeFile(big, "void main() { gl_FragColor = vec4(1.0); }\n" + std::string(1024 * 1024, ' '));
    const fs::path binary = folder / "binary.frag";
    writeFile(binary, std::string("\x7f" "ELF\x02\x01\x01\x00\x00\x00\x00\xff\xfe", 14));
    const fs::path broken = folder / "broken.frag";
    writeFile(broken, "void main() { gl_FragColor = vec4(1.0) }\n");
    const fs::path valid = folder / "v\xc3\xa0lid.frag";
    writeFile(valid, "void main() { gl_FragColor = vec4(0.2, 0.8, 0.4, 1.0); }\n");

    bool ran = false;
    int shownAt = -1;
    Rgb shown{};
    std::string title;
    ConsoleCapture console;
    auto* app = new ProbeApp;
    app->fullSetup = true;
    app->afterSetup = [](ProbeApp&) {
        for (int k = 1; k <= 28; ++k) effectTimeline[k].duration = 0.0f;
        timelineCount = 40;
    };
    const auto began = std::chrono::steady_clock::now();
    app->onFrame = [&](ProbeApp& a, int frame) {
        if (frame == 0)
            pushDrop(a, {missing.string(), directory.string(), big.string(), binary.string(),
                         broken.string(), valid.string()});
        a.playerUpdate();
        a.playerDraw();
        if (timelineIndex == 29 && shownAt < 0) shownAt = frame;
        // The frame after the switch presents the new effect; wait a few more to be sure
        // nothing else follows it.
        if (shownAt >= 0 && frame == shownAt + 1) shown = readBackBuffer(320, 240);
        if ((shownAt >= 0 && frame >= shownAt + 20) || std::chrono::steady_clock::now() - began > std::chrono::seconds(150)) {
            ran = true;
            title = a.getWindow()->getTitle();
            a.quit();
        }
    };
    EXPECT_EQ(runProbe(app), 0);
    std::vector<std::string> lines = console.lines();
    ASSERT_TRUE(ran);
    ASSERT_GE(shownAt, 0) << "the dropped shader never became current";
    EXPECT_EQ(timelineIndex, 29);
    EXPECT_EQ(shown, (Rgb{51, 204, 102}));
    EXPECT_EQ(title, " Time = 0 Effect = 29");

    const std::string prefix = "Failed to compile the shader: ";
    std::vector<std::string> failures;
    for (const std::string& line : lines) {
        if (line.rfind(prefix, 0) == 0) failures.push_back(line);
        else ADD_FAILURE() << "unexpected console line: " << line;
    }
    EXPECT_EQ(failures.size(), 5u);
    for (const fs::path& bad : {missing, directory, big, binary, broken}) {
        int mentions = 0;
        for (const std::string& line : failures)
            if (line.find(bad.string()) != std::string::npos) ++mentions;
        EXPECT_EQ(mentions, 1) << bad;
    }
    for (const std::string& line : failures) EXPECT_EQ(line.find(valid.string()), std::string::npos) << line;
    fs::remove_all(folder);
}

// Escape in the first frames: shutdown waits for the loader, which is still building the
// timeline's programs, and only then lets the queues go.
TEST(Shutdown, WaitsForTheLoaderBeforeTheQueuesGo) {
    bool loaderWasBusy = false, loaderJoined = false, queuesGone = false;
    auto* app = new ProbeApp;
    app->fullSetup = true;
    app->onFrame = [&](ProbeApp& a, int) {
        a.playerUpdate();
        a.playerDraw();
        a.keyDown(framework::KeyEvent(27, framework::KeyEvent::Shift));
    };
    app->beforeShutdown = [&](ProbeApp& a) {
        loaderWasBusy = a.loaderThread && a.loaderThread->joinable() && a.requestQueue &&
                        a.requestQueue->isNotEmpty();
    };
    app->afterShutdown = [&](ProbeApp& a) {
        loaderJoined = !a.loaderThread || !a.loaderThread->joinable();
        queuesGone = a.requestQueue == nullptr && a.resultQueue == nullptr;
    };
    EXPECT_EQ(runProbe(app), 0);
    EXPECT_TRUE(loaderWasBusy);
    EXPECT_TRUE(loaderJoined);
    EXPECT_TRUE(queuesGone);
}
