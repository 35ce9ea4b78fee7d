#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/message_box.h"
#include "player/lumivex_app.h"

namespace {

struct Box {
    std::u16string text;
    std::u16string caption;
};

class FatalErrorTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::setErrorBoxHandler([this](SDL_Window*, const std::u16string& text, const std::u16string& caption) {
            boxes.push_back({text, caption});
            if (onBox) onBox();
        });
    }
    void TearDown() override { platform::setErrorBoxHandler({}); }

    std::vector<Box> boxes;
    std::function<void()> onBox;
};

}  // namespace

TEST_F(FatalErrorTest, ShowsTheTextUnderItsCaptionAndAsksToQuit) {
    LumivexApp app;
    showFatalError(&app, "Failed to create the loader thread and context.");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"Failed to create the loader thread and context.");
    EXPECT_EQ(boxes[0].caption, u"Fatal Error");
    EXPECT_TRUE(app.isQuitRequested());
    EXPECT_FALSE(fatalReportActive);
}

TEST_F(FatalErrorTest, TheArgumentTextIsShownAsItIsOnALineOfItsOwn) {
    LumivexApp app;
    showFatalError(&app, "Failed to load common textures and shaders:\n%s", "100% broken \xC3\xA9t\xC3\xA9 \xF0\x9F\x8C\x99");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"Failed to load common textures and shaders:\n100% broken \u00e9t\u00e9 \U0001F319");
}

TEST_F(FatalErrorTest, BytesThatAreNotUtf8BecomeReplacementCharacters) {
    LumivexApp app;
    showFatalError(&app, "%s", "a\xFF" "b\xC3");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"a\uFFFDb\uFFFD");
}

TEST_F(FatalErrorTest, AReportAskedForWhileOneIsShownIsDropped) {
    LumivexApp app;
    int inner = 0;
    onBox = [&] {
        if (inner++ == 0) {
            EXPECT_TRUE(fatalReportActive);
            showFatalError(&app, "second");
        }
    };
    showFatalError(&app, "first");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"first");

    // Once the first has ended, the next is shown in full.
    showFatalError(&app, "third");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, u"third");
}

TEST_F(FatalErrorTest, ATextLongerThanTheBufferIsCutNotOverrun) {
    LumivexApp app;
    std::string longText(10000, 'x');
    showFatalError(&app, "Failed to load common textures and shaders:\n%s", longText.c_str());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.size(), 4095u);
    EXPECT_EQ(boxes[0].text.substr(0, 44), u"Failed to load common textures and shaders:\n");
    EXPECT_EQ(boxes[0].text.back(), u'x');
}
