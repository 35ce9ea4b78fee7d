// The pictures the effects sample: decoded and uploaded once, in setup.

#include "player/texture_set.h"

#include "framework/image.h"
#include "framework/resources.h"
#include "player/lumivex_app.h"

const std::array<int, 24> textureSlotImages = {128, 143, 136, 131, 130, 132, 141, 142, 137, 145, 149, 150,
                                               133, 139, 147, 134, 138, 140, 135, 144, 129, 146, 151, 152};

int textureSlotOf(int imageId) {
    for (std::size_t slot = 0; slot < textureSlotImages.size(); ++slot)
        if (textureSlotImages[slot] == imageId) return static_cast<int>(slot);
    return -1;
}

// The first failure leaves by exception: the slots before it keep their textures, the rest stay
// empty, and setup's handler reports it.
void LumivexApp::loadTextureSet() {
    framework::gl::Texture::Format format;
    format.setWrap(GL_REPEAT, GL_REPEAT);
    for (std::size_t slot = 0; slot < textureSlotImages.size(); ++slot) {
        // The bytes and the decoded pixels are gone at the end of the statement.
        textures[slot] = framework::gl::Texture::create(
            framework::loadImage(framework::loadResource(textureSlotImages[slot], "IMAGE"), 0, ""), format);
    }
}
