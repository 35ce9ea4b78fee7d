#include <gtest/gtest.h>
#include <SDL.h>

#include <chrono>
#include <string>
#include <vector>

#include "framework/app.h"

namespace {

std::vector<std::string> calls;

// Records every stage it is taken through. The launcher deletes it, so variants copy what a
// test looks at out in their destructors.
class RecordingApp : public framework::AppBasic {
public:
    int quitInUpdateOfFrame = -1;  // frames count from 1
    bool quitInSetup = false;
    int resizeInFrame = -1;
    float frameRate = 500.0f;
    std::string titleSeenInSettings;
    std::string windowTitleInSetup;
    framework::Vec2i sizeInResize;

    ~RecordingApp() override { calls.push_back("deleted"); }

    void prepareSettings(Settings* settings) override {
        calls.push_back("prepareSettings");
        titleSeenInSettings = settings->getTitle();
        settings->setWindowSize(320, 240);
        settings->setWindowPos(0, 0);
        settings->setBorderless(true);
        settings->setResizable(false);
        settings->setFrameRate(frameRate);
    }
    void setup() override {
        calls.push_back("setup");
        windowTitleInSetup = getWindow()->getTitle();
        if (quitInSetup) quit();
    }
    void resize() override {
        calls.push_back("resize");
        sizeInResize = getWindowSize();
    }
    void update() override {
        ++frame;
        calls.push_back("update");
        if (frame == quitInUpdateOfFrame) quit();
        if (frame == resizeInFrame) SDL_SetWindowSize(getWindow()->getNative(), 200, 100);
    }
    void draw() override { calls.push_back("draw"); }
    void shutdown() override { calls.push_back("shutdown"); }

    int frame = 0;
};

std::vector<std::string> framesOf(int n) {
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) {
        out.push_back("update");
        out.push_back("draw");
    }
    return out;
}

std::vector<std::string> join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST(AppLoop, StagesRunInOrderAndTheQuittingFrameStillDraws) {
    calls.clear();
    auto* app = new RecordingApp;
    app->quitInUpdateOfFrame = 3;
    int status = framework::launch(app, std::make_shared<framework::RendererGl>(0), "LoopTestApp");
    EXPECT_EQ(status, 0);
    auto expected = join(join({"prepareSettings", "setup", "resize"}, framesOf(3)), {"shutdown", "deleted"});
    EXPECT_EQ(calls, expected);
}

TEST(AppLoop, TheNameIsTheTitleBeforeSettingsAndOnTheWindow) {
    calls.clear();
    struct TitleApp : RecordingApp {
        std::string* seen;
        std::string* onWindow;
        ~TitleApp() override {
            *seen = titleSeenInSettings;
            *onWindow = windowTitleInSetup;
        }
    };
    std::string seen, onWindow;
    auto* app = new TitleApp;
    app->seen = &seen;
    app->onWindow = &onWindow;
    app->quitInSetup = true;
    framework::launch(app, std::make_shared<framework::RendererGl>(0), "LumivexApp");
    EXPECT_EQ(seen, "LumivexApp");
    EXPECT_EQ(onWindow, "LumivexApp");
}

TEST(AppLoop, QuitInSetupSkipsEveryFrameButResizeAndShutdownStillRun) {
    calls.clear();
    auto* app = new RecordingApp;
    app->quitInSetup = true;
    framework::launch(app, std::make_shared<framework::RendererGl>(0), "LoopTestApp");
    std::vector<std::string> expected{"prepareSettings", "setup", "resize", "shutdown", "deleted"};
    EXPECT_EQ(calls, expected);
}

TEST(AppLoop, ResizeFollowsEverySizeChangeBeforeTheNextFrame) {
    calls.clear();
    struct SizeApp : RecordingApp {
        framework::Vec2i* last;
        ~SizeApp() override { *last = sizeInResize; }
    };
    framework::Vec2i last;
    auto* app = new SizeApp;
    app->last = &last;
    app->resizeInFrame = 2;
    app->quitInUpdateOfFrame = 6;
    framework::launch(app, std::make_shared<framework::RendererGl>(0), "LoopTestApp");

    // resize once before the first frame, then once more after frame 2 changed the size.
    std::vector<std::string> before{"prepareSettings", "setup", "resize"};
    ASSERT_GE(calls.size(), 8u);
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 3), before);
    EXPECT_EQ(std::vector<std::string>(calls.begin() + 3, calls.begin() + 7), framesOf(2));
    int resizes = 0;
    for (auto& c : calls) resizes += c == "resize";
    EXPECT_EQ(resizes, 2);
    EXPECT_EQ(last, (framework::Vec2i{200, 100}));
    EXPECT_EQ(calls.back(), "deleted");
}

TEST(AppLoop, FramesArePacedToTheFrameRateLimit) {
    calls.clear();
    auto* app = new RecordingApp;
    app->frameRate = 30.0f;
    app->quitInUpdateOfFrame = 16;
    auto start = std::chrono::steady_clock::now();
    framework::launch(app, std::make_shared<framework::RendererGl>(0), "LoopTestApp");
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Fifteen paced gaps at 30 per second cannot take less than half a second.
    EXPECT_GE(seconds, 0.45);
}

TEST(AppLoop, TheWindowFollowsTheSettings) {
    calls.clear();
    struct GeometryApp : RecordingApp {
        int* x;
        int* y;
        unsigned* flags;
        void setup() override {
            RecordingApp::setup();
            SDL_GetWindowPosition(getWindow()->getNative(), x, y);
            *flags = SDL_GetWindowFlags(getWindow()->getNative());
            quit();
        }
    };
    int x = -1, y = -1;
    unsigned flags = 0;
    auto* app = new GeometryApp;
    app->x = &x;
    app->y = &y;
    app->flags = &flags;
    framework::launch(app, std::make_shared<framework::RendererGl>(0), "LoopTestApp");
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_TRUE(flags & SDL_WINDOW_BORDERLESS);
    EXPECT_FALSE(flags & SDL_WINDOW_RESIZABLE);
}
