// The pictures the effects sample: decoded and uploaded once, in setup.

#include "framework/image.h"
#include "framework/resources.h"
#include "player/lumivex_app.h"
#include "player/texture_bindings.h"

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
