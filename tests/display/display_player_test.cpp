// The player's display-mode change and window settings, with the X server replaced by a
// handler that answers each requested size with a chosen result code.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/display_mode.h"
#include "player/display_mode.h"
#include "player/lumivex_app.h"

namespace {

using Size = std::pair<int, int>;

// Width, height and the result code a display gives for that size.
struct Answer {
    int width;
    int height;
    int result;
};
using Answers = std::vector<Answer>;

// What the display answers for a size; sizes not listed fail with -2.
int answerFor(const Answers& answers, Size size) {
    for (const Answer& a : answers)
        if (a.width == size.first && a.height == size.second) return a.result;
    return -2;
}

// Stands in for the X server with `answers` and records the calls.
class FakeDisplay {
public:
    explicit FakeDisplay(Answers answers) : answers_(std::move(answers)) {
        platform::setDisplayChangeHandler([this](int width, int height) {
            calls.push_back({width, height});
            return answerFor(answers_, {width, height});
        });
    }
    ~FakeDisplay() { platform::setDisplayChangeHandler({}); }
    std::vector<Size> calls;

private:
    Answers answers_;
};

// Collects what the process writes to standard error while it lives.
class StderrCapture {
public:
    StderrCapture() {
        std::fflush(stderr);
        char name[] = "/tmp/display-stderr-XXXXXX";
        file_ = mkstemp(name);
        unlink(name);
        saved_ = dup(STDERR_FILENO);
        dup2(file_, STDERR_FILENO);
    }
    ~StderrCapture() { restore(); }
    std::string text() {
        restore();
        std::string all;
        char buffer[512];
        lseek(file_, 0, SEEK_SET);
        for (ssize_t n; (n = read(file_, buffer, sizeof buffer)) > 0;) all.append(buffer, std::size_t(n));
        return all;
    }

private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        saved_ = -1;
    }
    int file_ = -1;
    int saved_ = -1;
};

const std::vector<Size> fullList{{1920, 1080}, {1280, 768}, {640, 480}};
const std::vector<Size> lowresList{{640, 480}};

#ifdef LOWRES_LIST
const std::vector<Size>& modeList = lowresList;
#else
const std::vector<Size>& modeList = fullList;
#endif


const std::string badModeLine = "Error -2 occurred. The graphics mode is not supported.\n";

}  // namespace

TEST(DisplayModeText, EachResultCodeHasItsText) {
    EXPECT_STREQ(displayModeErrorText(-1), "The display driver failed the specified graphics mode.");
    EXPECT_STREQ(displayModeErrorText(-2), "The graphics mode is not supported.");
    EXPECT_STREQ(displayModeErrorText(-3), "Unable to write settings to the registry.");
    EXPECT_STREQ(displayModeErrorText(-6),
                 "The settings change was unsuccessful because the system is DualView capable.");
    for (int code : {-4, -5, 1, -7, 2, 1000, -1000}) {
        SCOPED_TRACE(code);
        EXPECT_STREQ(displayModeErrorText(code), "Unable to change screen resolution due to unknown error.");
    }
}

TEST(DisplayModeText, LineIsErrorCodeOccurredText) {
    EXPECT_EQ(displayModeErrorLine(-2), badModeLine);
    EXPECT_EQ(displayModeErrorLine(-1), "Error -1 occurred. The display driver failed the specified graphics mode.\n");
    EXPECT_EQ(displayModeErrorLine(-3), "Error -3 occurred. Unable to write settings to the registry.\n");
    EXPECT_EQ(displayModeErrorLine(-4), "Error -4 occurred. Unable to change screen resolution due to unknown error.\n");
    EXPECT_EQ(displayModeErrorLine(-5), "Error -5 occurred. Unable to change screen resolution due to unknown error.\n");
    EXPECT_EQ(displayModeErrorLine(-6),
              "Error -6 occurred. The settings change was unsuccessful because the system is DualView capable.\n");
    // Positive codes carry no sign.
    EXPECT_EQ(displayModeErrorLine(1), "Error 1 occurred. Unable to change screen resolution due to unknown error.\n");
}

TEST(ChangeDisplayMode, LogsEachFailureOnceAndReturnsItsCode) {
    for (int code : {-1, -2, -3, -4, -5, -6, 1}) {
        SCOPED_TRACE(code);
        FakeDisplay display({{1024, 600, code}});
        LumivexApp app;
        StderrCapture capture;
        EXPECT_EQ(app.changeDisplayMode(1024, 600), code);
        EXPECT_EQ(capture.text(), displayModeErrorLine(code));
        EXPECT_EQ(display.calls, (std::vector<Size>{{1024, 600}}));
    }
}

TEST(ChangeDisplayMode, SuccessWritesNothing) {
    FakeDisplay display({{1024, 600, 0}});
    LumivexApp app;
    StderrCapture capture;
    EXPECT_EQ(app.changeDisplayMode(1024, 600), 0);
    EXPECT_EQ(capture.text(), "");
}

// Each case: which sizes the display accepts, and which mode of the list must win.
TEST(PrepareSettings, FirstAcceptedModeOfTheListWins) {
    struct Case {
        Answers accepted;
        std::size_t winner;
    };
    std::vector<Case> cases;
    // A display that takes every size still gets only the sizes of the list, up to the first.
    cases.push_back({{{1920, 1080, 0}, {1280, 768, 0}, {640, 480, 0}}, 0});
    if (modeList.size() == 3) {
        cases.push_back({{{1280, 768, 0}, {640, 480, 0}}, 1});
        cases.push_back({{{640, 480, 0}}, 2});
        // A restart request is a failure like any other.
        cases.push_back({{{1920, 1080, 1}, {1280, 768, 0}}, 1});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "winner " << c.winner);
        FakeDisplay display(c.accepted);
        LumivexApp app;
        framework::Settings settings;
        settings.setTitle("LumivexApp");
        StderrCapture capture;
        app.prepareSettings(&settings);
        std::string errors = capture.text();

        std::vector<Size> expectedCalls(modeList.begin(), modeList.begin() + long(c.winner) + 1);
        EXPECT_EQ(display.calls, expectedCalls);
        std::string expectedErrors;
        for (std::size_t i = 0; i < c.winner; ++i)
            expectedErrors += displayModeErrorLine(answerFor(c.accepted, modeList[i]));
        EXPECT_EQ(errors, expectedErrors);

        const Size mode = modeList[c.winner];
        EXPECT_EQ(settings.getWindowSize().x, mode.first);
        EXPECT_EQ(settings.getWindowSize().y, mode.second);
        const float limit = mode == Size{1920, 1080} ? 500.0f : 60.0f;
        EXPECT_FLOAT_EQ(settings.getFrameRate(), limit);
        EXPECT_TRUE(settings.isFrameRateEnabled());
        EXPECT_TRUE(settings.isWindowPosSpecified());
        EXPECT_EQ(settings.getWindowPos().x, 0);
        EXPECT_EQ(settings.getWindowPos().y, 0);
        EXPECT_FALSE(settings.isResizable());
        EXPECT_TRUE(settings.isBorderless());
        EXPECT_FALSE(settings.isFullScreen());
        EXPECT_EQ(settings.getTitle(), "LumivexApp");
    }
}

TEST(PrepareSettings, RestoreTargetIsTheDesktopBeforeTheChange) {
    int width = 0, height = 0;
    if (!platform::currentDisplaySize(width, height)) GTEST_SKIP() << "needs an X server (with_xvfb.sh)";
    FakeDisplay display({{1920, 1080, 0}, {640, 480, 0}});
    LumivexApp app;
    framework::Settings settings;
    app.prepareSettings(&settings);
    EXPECT_EQ(app.restoreWidth, width);
    EXPECT_EQ(app.restoreHeight, height);
}

TEST(PrepareSettings, WithoutAKnownDesktopTheRestoreChangesNothing) {
    const char* old = std::getenv("DISPLAY");
    std::string saved = old ? old : "";
    unsetenv("DISPLAY");
    FakeDisplay display({{1920, 1080, 0}, {640, 480, 0}});
    LumivexApp app;
    framework::Settings settings;
    app.prepareSettings(&settings);
    if (old) setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_EQ(app.restoreWidth, settings.getWindowSize().x);
    EXPECT_EQ(app.restoreHeight, settings.getWindowSize().y);
}

TEST(PrepareSettingsDeathTest, NoModeEndsTheProcessWithStatusZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // One line per mode tried, each with its own code, then exit(0) before any window.
    std::string expected;
    Answers answers;
    int code = -1;
    for (const Size& mode : modeList) {
        answers.push_back({mode.first, mode.second, code});
        expected += displayModeErrorLine(code);
        code = code == -1 ? -6 : 1;
    }
    auto run = [&] {
        FakeDisplay display(answers);
        LumivexApp app;
        framework::Settings settings;
        app.prepareSettings(&settings);
        std::fputs("prepareSettings returned\n", stderr);
        std::_Exit(3);
    };
    std::string pattern;
    for (char ch : expected) {
        if (std::string("\\^$.|?*+()[]{}").find(ch) != std::string::npos) pattern += '\\';
        pattern += ch;
    }
    EXPECT_EXIT(run(), testing::ExitedWithCode(0), "^" + pattern + "$");
}
