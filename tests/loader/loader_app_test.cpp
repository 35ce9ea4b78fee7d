// The loader as the player runs it: started from setup on the framework's window, feeding
// programs that the main thread draws, and stopped by the player's shutdown with a full
// result queue.

#include <gtest/gtest.h>

#include <epoxy/gl.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "framework/app.h"
#include "framework/gl/draw.h"
#include "player/lumivex_app.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Observed {
    bool started = false;
    std::vector<int> builtIds;
    std::array<unsigned char, 4> drawn{};
    bool drew = false;
    std::size_t unclaimedAtQuit = 0;
    double shutdownSeconds = -1;
    bool timedOut = false;
} observed;

class ProbeApp : public LumivexApp {
public:
    void prepareSettings(Settings* settings) override {
        settings->setWindowSize(160, 120);
        settings->setFrameRate(120.0f);
        // The Xvfb screen's own mode, so the change at shutdown has nothing to do.
        restoreWidth = 640;
        restoreHeight = 480;
    }

    void setup() override {
        requestQueue = new ShaderQueue(100);
        resultQueue = new ShaderQueue(100);
        observed.started = startLoader();
        for (int id : {67, 69, 67}) requestQueue->pushFront(ShaderRequest(id));
        begin_ = Clock::now();
    }

    void resize() override {}

    void update() override {
        if (Clock::now() - begin_ > std::chrono::seconds(60)) {
            observed.timedOut = true;
            quit();
            return;
        }
        if (phase_ == 0 && resultQueue->isNotEmpty()) {
            ShaderRequest r;
            resultQueue->popBack(r);
            observed.builtIds.push_back(r.id);
            program_ = r.program;
            if (observed.builtIds.size() == 2) phase_ = 1;
        } else if (phase_ == 2) {
            // Nobody claims these: the loader ends up waiting to push the 101st.
            for (int i = 0; i < 104; ++i) requestQueue->pushFront(ShaderRequest(67));
            phase_ = 3;
        } else if (phase_ == 3 && resultQueue->size() == 100 && requestQueue->size() == 3) {
            if (++settled_ > 10) {
                observed.unclaimedAtQuit = resultQueue->size();
                quit();
            }
        }
    }

    void draw() override {
        if (phase_ != 1 || !program_) return;
        const int w = getWindowWidth(), h = getWindowHeight();
        glViewport(0, 0, w, h);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        program_->bind();
        program_->uniform("iResolution", framework::Vec3f{float(w), float(h), 1.0f});
        program_->uniform("iMouse", framework::Vec4f{0.8f, 0.6f, 0.2f, 1.0f});
        glBegin(GL_QUADS);
        glVertex2f(-1, -1);
        glVertex2f(1, -1);
        glVertex2f(1, 1);
        glVertex2f(-1, 1);
        glEnd();
        framework::gl::GlslProg::unbind();
        glReadPixels(w / 2, h / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, observed.drawn.data());
        observed.drew = true;
        phase_ = 2;
    }

    void shutdown() override {
        auto start = Clock::now();
        LumivexApp::shutdown();
        observed.shutdownSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    }

private:
    int phase_ = 0;
    int settled_ = 0;
    framework::gl::GlslProgRef program_;
    Clock::time_point begin_;
};

TEST(LoaderInThePlayer, BuildsForTheWindowAndShutdownReturnsWithAFullResultQueue) {
    ::setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    std::FILE* capture = std::tmpfile();
    ::dup2(::fileno(capture), STDERR_FILENO);

    framework::launch(new ProbeApp, std::make_shared<framework::RendererGl>(0), "LoaderProbe");

    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    std::rewind(capture);
    std::ostringstream all;
    for (int c; (c = std::fgetc(capture)) != EOF;) all.put(static_cast<char>(c));
    std::fclose(capture);
    const std::string err = all.str();

    ASSERT_TRUE(observed.started);
    EXPECT_FALSE(observed.timedOut) << err;
    EXPECT_EQ(observed.builtIds, (std::vector<int>{67, 67}));
    ASSERT_TRUE(observed.drew);
    EXPECT_NEAR(observed.drawn[0], 204, 2);
    EXPECT_NEAR(observed.drawn[1], 153, 2);
    EXPECT_NEAR(observed.drawn[2], 51, 2);
    EXPECT_EQ(observed.unclaimedAtQuit, 100u);
    EXPECT_GE(observed.shutdownSeconds, 0.0);
    EXPECT_LT(observed.shutdownSeconds, 5.0);
    EXPECT_NE(err.find("Failed to compile the shader: Failed to load resource: #69 type: FRAG\n"), std::string::npos)
        << err;
    EXPECT_EQ(err.find("Failed to compile the shader: Failed to load resource: #67"), std::string::npos) << err;
}

}  // namespace
