// The loading block's failure path inside the player, with the box replaced by a recorder:
// built once against a table without IMAGE 143 and once with a broken IMAGE 151.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/message_box.h"
#include "probe_app.h"

namespace {

std::string utf8(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

#if defined(VARIANT_no143)
// The resource loader's text for the missing picture; only IMAGE 128 came before it.
constexpr int kLoadedSlots = 1;
const char* const kExpected = "Failed to load common textures and shaders:\nFailed to load resource: #143 type: IMAGE";
#else
// A JPEG cut short in slot 22: the decoder's complaint, slots 0 to 21 loaded.
constexpr int kLoadedSlots = 22;
const char* const kExpected = "Failed to load common textures and shaders:\nFailed to decode JPEG image: ";
#endif

}  // namespace

TEST(TextureSetFailure, TheFirstFailureEndsTheBlockAndIsReported) {
    std::vector<std::pair<std::string, std::string>> boxes;
    platform::setErrorBoxHandler([&](SDL_Window*, const std::u16string& text, const std::u16string& caption) {
        boxes.push_back({utf8(text), utf8(caption)});
    });
    bool checked = false;
    auto* app = new ProbeApp;
    app->fullSetup = true;
    app->stopLoaderAfterSetup = true;
    app->afterSetup = [&](ProbeApp& a) {
        checked = true;
        for (int slot = 0; slot < 24; ++slot) {
            EXPECT_EQ(static_cast<bool>(a.textures[slot]), slot < kLoadedSlots) << "slot " << slot;
        }
        EXPECT_FALSE(a.transitionProgram);
    };
    EXPECT_EQ(runProbe(app), 0);
    platform::setErrorBoxHandler({});
    EXPECT_TRUE(checked);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].second, "Fatal Error");
    EXPECT_EQ(boxes[0].first.rfind(kExpected, 0), 0u) << boxes[0].first;
}
