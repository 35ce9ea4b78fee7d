#pragma once
// The common pictures: which IMAGE fills which slot of LumivexApp::textures.

#include <array>

// IMAGE numbers in slot order, which is also load order.
extern const std::array<int, 24> textureSlotImages;

// Slot that holds the picture with this IMAGE number, or -1 (148 has none).
int textureSlotOf(int imageId);
