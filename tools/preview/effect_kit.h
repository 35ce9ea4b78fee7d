#pragma once
// What the preview, the effect tests and the effect benchmark share: the catalogue of effect
// bodies, the texture bindings the show uses for each, an off-screen GL context and one
// rendered frame of an effect.

#include <array>
#include <map>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/geometry.h"
#include "framework/gl/fbo.h"
#include "framework/gl/glsl_prog.h"
#include "framework/gl/texture.h"

struct SDL_Window;

namespace effects {

struct Body {
    int number;            // FRAG resource number
    const char* name;      // file name in resources/shaders
    unsigned channels;     // bit N set: the body reads iChannelN
    bool mouse;            // the body reads iMouse
    int textureSet;        // texture-set row of the timeline entry that shows it
};

// Bodies 67 to 83 in number order.
const std::vector<Body>& bodies();
const Body* findBody(int number);

// IMAGE id bound to each of the units 0 to 7 for a texture-set row, after the always-bound
// ones; 0 where the row leaves a unit alone.
std::array<int, 8> imagesForTextureSet(int textureSet);

// A hidden window with a GL 2.1 context current on the calling thread.
class OffscreenContext {
public:
    OffscreenContext();
    ~OffscreenContext();
    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;

private:
    SDL_Window* window_ = nullptr;
    void* context_ = nullptr;
};

// The effect program exactly as the player builds it: FRAG 64 as the vertex stage, FRAG 66
// followed by the body as the fragment stage, all from the embedded resources.
framework::gl::GlslProgRef buildEffect(int number);
std::string effectFragmentSource(int number);

// Names of the program's own active uniforms (arrays without "[0]", built-in gl_ state left out).
std::vector<std::string> activeUniforms(const framework::gl::GlslProg& program);

struct Inputs {
    float time = 0.0f;
    framework::Vec4f mouse;
    std::array<framework::gl::TextureRef, 8> channels;
};

// Rows bottom-up as GL reads them: row 0 holds gl_FragCoord.y = 0.5.
struct Frame {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;
    const std::uint8_t* pixel(int x, int y) const { return &rgba[(static_cast<std::size_t>(y) * width + x) * 4]; }
};

// Renders one frame of `program` into `fbo` the way the player's draw does and reads it back.
Frame render(framework::gl::GlslProg& program, const framework::gl::Fbo& fbo, const Inputs& inputs);

// The show's pictures, decoded from the embedded IMAGE resources with the show's format.
framework::gl::TextureRef loadPicture(int imageId);

// The pictures a texture set binds, as channels, each loaded once into `cache`.
void bindTextureSetPictures(int textureSet, std::map<int, framework::gl::TextureRef>& cache, Inputs& inputs);

// Writes RGBA rows (first row at the top) as a PNG; throws std::runtime_error on failure.
void writePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgbaTopDown);

}  // namespace effects
