#pragma once
// The common pictures: which IMAGE fills which slot of LumivexApp::textures, and what each
// texture set binds.

#include <array>

// IMAGE numbers in slot order, which is also load order.
extern const std::array<int, 24> textureSlotImages;

// Slot that holds the picture with this IMAGE number, or -1 (148 has none).
int textureSlotOf(int imageId);

struct TextureBinding {
    int unit;
    int image;  // IMAGE number
};

// What a frame binds for a texture-set selector, in order: the always-bound pictures, then the
// selector's row (a later binding of a unit replaces an earlier one). A selector outside 0 to
// 17 adds nothing to the always-bound ones.
struct TextureBindings {
    std::array<TextureBinding, 13> items;
    int count = 0;
    const TextureBinding* begin() const { return items.data(); }
    const TextureBinding* end() const { return items.data() + count; }
};
TextureBindings textureBindings(int textureSet);
