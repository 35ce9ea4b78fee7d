// The XRandR display-mode change against a real Xvfb screen, whose only mode is its own size.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/display_mode.h"

namespace {

// Runs a block with DISPLAY set to `value` (or unset when null), then puts it back.
class DisplayVariable {
public:
    explicit DisplayVariable(const char* value) {
        if (const char* old = std::getenv("DISPLAY")) saved_ = old, hadValue_ = true;
        if (value) setenv("DISPLAY", value, 1);
        else unsetenv("DISPLAY");
    }
    ~DisplayVariable() {
        if (hadValue_) setenv("DISPLAY", saved_.c_str(), 1);
        else unsetenv("DISPLAY");
    }

private:
    std::string saved_;
    bool hadValue_ = false;
};

bool haveDisplay() { return std::getenv("DISPLAY") != nullptr; }

}  // namespace

TEST(DisplaySettings, XvfbScreenAcceptsOnlyItsOwnSize) {
    if (!haveDisplay()) GTEST_SKIP() << "needs an X server (run under with_xvfb.sh -s 800x600)";
    int width = 0, height = 0;
    ASSERT_TRUE(platform::currentDisplaySize(width, height));
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);

    // Already in force: a success that changes nothing, as often as asked.
    EXPECT_EQ(platform::changeDisplaySettings(800, 600), platform::DisplayChangeSuccessful);
    EXPECT_EQ(platform::changeDisplaySettings(800, 600), platform::DisplayChangeSuccessful);

    // Sizes the output does not offer, also ones that differ in one side only.
    EXPECT_EQ(platform::changeDisplaySettings(1920, 1080), platform::DisplayChangeBadMode);
    EXPECT_EQ(platform::changeDisplaySettings(640, 480), platform::DisplayChangeBadMode);
    EXPECT_EQ(platform::changeDisplaySettings(800, 480), platform::DisplayChangeBadMode);
    EXPECT_EQ(platform::changeDisplaySettings(600, 800), platform::DisplayChangeBadMode);
    EXPECT_EQ(platform::changeDisplaySettings(0, 0), platform::DisplayChangeBadMode);
    EXPECT_EQ(platform::changeDisplaySettings(-800, -600), platform::DisplayChangeBadMode);

    ASSERT_TRUE(platform::currentDisplaySize(width, height));
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
}

TEST(DisplaySettings, NoDisplayIsAFailedChange) {
    {
        DisplayVariable none(nullptr);
        int width = 0, height = 0;
        EXPECT_FALSE(platform::currentDisplaySize(width, height));
        EXPECT_EQ(platform::changeDisplaySettings(640, 480), platform::DisplayChangeFailed);
    }
    {
        // A display name nobody serves.
        DisplayVariable absent(":4987");
        int width = 0, height = 0;
        EXPECT_FALSE(platform::currentDisplaySize(width, height));
        EXPECT_EQ(platform::changeDisplaySettings(640, 480), platform::DisplayChangeFailed);
    }
}

TEST(DisplaySettings, HandlerStandsInForTheServerUntilCleared) {
    int calls = 0;
    platform::setDisplayChangeHandler([&](int width, int height) {
        ++calls;
        return width == 1 && height == 2 ? 1 : -6;
    });
    EXPECT_EQ(platform::changeDisplaySettings(1, 2), 1);
    EXPECT_EQ(platform::changeDisplaySettings(3, 4), -6);
    EXPECT_EQ(calls, 2);
    platform::setDisplayChangeHandler({});
    DisplayVariable none(nullptr);
    EXPECT_EQ(platform::changeDisplaySettings(1, 2), platform::DisplayChangeFailed);
    EXPECT_EQ(calls, 2);
}

TEST(DisplaySettings, WithoutRandrOnlyTheScreensOwnSizeSucceeds) {
    const char* expect = std::getenv("NO_RANDR_SCREEN");
    if (!expect) GTEST_SKIP() << "run under with_xvfb.sh --no-randr with NO_RANDR_SCREEN=WxH";
    int width = 0, height = 0;
    ASSERT_TRUE(platform::currentDisplaySize(width, height));
    EXPECT_EQ(std::to_string(width) + "x" + std::to_string(height), expect);
    EXPECT_EQ(platform::changeDisplaySettings(width, height), platform::DisplayChangeSuccessful);
    EXPECT_EQ(platform::changeDisplaySettings(640, 480), platform::DisplayChangeFailed);
}

// A bare server resets when its last client leaves and refuses connections while it does: the
// queries and changes of one run must never be what sets that off.
TEST(DisplaySettings, AServerThatResetsKeepsAnswering) {
    if (!std::getenv("RESETTING_SERVER")) GTEST_SKIP() << "run under with_xvfb.sh --reset";
    int failures = 0;
    for (int i = 0; i < 150; ++i) {
        int width = 0, height = 0;
        if (!platform::currentDisplaySize(width, height)) ++failures;
        if (platform::changeDisplaySettings(width, height) != platform::DisplayChangeSuccessful) ++failures;
    }
    EXPECT_EQ(failures, 0);
}
