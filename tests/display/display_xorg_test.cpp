// Real mode changes on an Xorg server with the dummy video driver (several modes).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/display_mode.h"

namespace {

// The "current" size as xrandr, an outside observer, reports it.
std::string xrandrCurrent() {
    FILE* pipe = popen("xrandr 2>/dev/null | sed -n 's/.*current \\([0-9]*\\) x \\([0-9]*\\),.*/\\1x\\2/p'", "r");
    if (!pipe) return {};
    char line[64] = {};
    std::string text = fgets(line, sizeof line, pipe) ? line : "";
    pclose(pipe);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

TEST(DisplaySettingsOnXorg, ChangesTheDesktopAndBack) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs with_xorg_dummy.sh";
    int width = 0, height = 0;
    ASSERT_TRUE(platform::currentDisplaySize(width, height));
    ASSERT_EQ(width, 1024);
    ASSERT_EQ(height, 768);

    EXPECT_EQ(platform::changeDisplaySettings(640, 480), platform::DisplayChangeSuccessful);
    EXPECT_EQ(xrandrCurrent(), "640x480");
    ASSERT_TRUE(platform::currentDisplaySize(width, height));
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);

    // Not offered by the output: nothing moves.
    EXPECT_EQ(platform::changeDisplaySettings(1920, 1080), platform::DisplayChangeBadMode);
    EXPECT_EQ(platform::changeDisplaySettings(1280, 768), platform::DisplayChangeBadMode);
    EXPECT_EQ(xrandrCurrent(), "640x480");

    EXPECT_EQ(platform::changeDisplaySettings(800, 600), platform::DisplayChangeSuccessful);
    EXPECT_EQ(xrandrCurrent(), "800x600");
    EXPECT_EQ(platform::changeDisplaySettings(1024, 768), platform::DisplayChangeSuccessful);
    EXPECT_EQ(xrandrCurrent(), "1024x768");
    EXPECT_EQ(platform::changeDisplaySettings(1024, 768), platform::DisplayChangeSuccessful);
    EXPECT_EQ(xrandrCurrent(), "1024x768");
}
