// Which picture fills which texture slot, and which slots each texture set binds to which unit.
// Nothing here needs the application, so the effect tools can share it.

#include "player/texture_bindings.h"

const std::array<int, 24> textureSlotImages = {128, 143, 136, 131, 130, 132, 141, 142, 137, 145, 149, 150,
                                               133, 139, 147, 134, 138, 140, 135, 144, 129, 146, 151, 152};

namespace {

constexpr TextureBinding alwaysBound[] = {{0, 128}, {1, 143}, {3, 144}, {2, 135}, {4, 140}, {5, 146}};

struct Row {
    int count;
    TextureBinding bindings[7];
};

constexpr Row textureSets[18] = {
    {7, {{1, 143}, {2, 136}, {3, 131}, {4, 130}, {5, 132}, {6, 141}, {7, 142}}},
    {2, {{1, 143}, {5, 129}}},
    {2, {{1, 136}, {2, 151}}},
    {1, {{1, 131}}},
    {1, {{1, 130}}},
    {1, {{1, 132}}},
    {1, {{1, 141}}},
    {1, {{1, 142}}},
    {1, {{1, 137}}},
    {1, {{1, 145}}},
    {1, {{1, 149}}},
    {1, {{1, 150}}},
    {1, {{1, 133}}},
    {1, {{1, 139}}},
    {1, {{1, 147}}},
    {1, {{1, 134}}},
    {1, {{1, 138}}},
    {2, {{1, 140}, {2, 152}}},
};

}  // namespace

TextureBindings textureBindings(int textureSet) {
    TextureBindings bindings;
    for (const TextureBinding& binding : alwaysBound) bindings.items[bindings.count++] = binding;
    if (textureSet >= 0 && textureSet < 18) {
        const Row& row = textureSets[textureSet];
        for (int i = 0; i < row.count; ++i) bindings.items[bindings.count++] = row.bindings[i];
    }
    return bindings;
}

int textureSlotOf(int imageId) {
    for (std::size_t slot = 0; slot < textureSlotImages.size(); ++slot)
        if (textureSlotImages[slot] == imageId) return static_cast<int>(slot);
    return -1;
}
