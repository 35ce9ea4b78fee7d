// The pictures the effects sample: decoded and uploaded once, in setup.

#include <array>

#include "framework/image.h"
#include "framework/resources.h"
#include "player/lumivex_app.h"

namespace {

// Slot order, which is also load order; the slot of a picture is its index here.
constexpr std::array<int, 24> kTextureIds = {128, 143, 136, 131, 130, 132, 141, 142, 137, 145, 149, 150,
                                             133, 139, 147, 134, 138, 140, 135, 144, 129, 146, 151, 152};

}  // namespace

// The first failure leaves by exception: the slots before it keep their textures, the rest stay
// empty, and setup's handler reports it.
void LumivexApp::loadTextureSet() {
    framework::gl::Texture::Format format;
    format.setWrap(GL_REPEAT, GL_REPEAT);
    for (std::size_t slot = 0; slot < kTextureIds.size(); ++slot) {
        // The bytes and the decoded pixels are gone at the end of the statement.
        textures[slot] = framework::gl::Texture::create(
            framework::loadImage(framework::loadResource(kTextureIds[slot], "IMAGE"), 0, ""), format);
    }
}
