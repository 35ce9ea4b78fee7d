#include "effect_kit.h"

#include "player/texture_bindings.h"

#include <SDL.h>
#include <epoxy/gl.h>
#include <png.h>

#include <cstdio>
#include <stdexcept>

#include "framework/gl/draw.h"
#include "framework/image.h"
#include "framework/resources.h"

namespace effects {

namespace {
constexpr unsigned ch(int n) { return 1u << n; }
}  // namespace

const std::vector<Body>& bodies() {
    // The texture set is that of the first timeline entry showing the body; bodies the
    // timeline never asks for take the row of the body they vary.
    static const std::vector<Body> table = {
        {67, "67-creature.frag", ch(0), false, 0},
        {68, "68-columns.frag", ch(4) | ch(5), false, 1},
        {69, "69-corridor-flight.frag", ch(4) | ch(5), false, 2},
        {70, "70-corridor.frag", 0, false, 2},
        {71, "71-corridor-light.frag", 0, false, 2},
        {72, "72-corridor-wall.frag", 0, false, 0},
        {73, "73-corridor-fold.frag", 0, false, 2},
        {74, "74-corridor-twin.frag", 0, false, 2},
        {75, "75-rock.frag", 0, true, 0},
        {76, "76-rock-intro.frag", ch(1) | ch(2), true, 17},
        {77, "77-rock-ahead.frag", 0, true, 0},
        {78, "78-rock-carved.frag", 0, false, 0},
        {79, "79-rock-boxes.frag", 0, false, 0},
        {80, "80-rock-slow.frag", 0, true, 0},
        {81, "81-cards.frag", ch(1) | ch(2) | ch(3) | ch(4), false, 1},
        {82, "82-cards-finale.frag", ch(1) | ch(2) | ch(3) | ch(4), false, 16},
        {83, "83-clouds.frag", ch(0) | ch(2), true, 2},
    };
    return table;
}

const Body* findBody(int number) {
    for (const Body& b : bodies())
        if (b.number == number) return &b;
    return nullptr;
}

std::array<int, 8> imagesForTextureSet(int textureSet) {
    // From a fresh start: units no binding names stay 0.
    std::array<int, 8> units{};
    for (const TextureBinding& binding : textureBindings(textureSet)) units[binding.unit] = binding.image;
    return units;
}

void bindTextureSetPictures(int textureSet, std::map<int, framework::gl::TextureRef>& cache, Inputs& inputs) {
    const auto images = imagesForTextureSet(textureSet);
    for (int unit = 0; unit < 8; ++unit) {
        if (!images[unit]) continue;
        auto& texture = cache[images[unit]];
        if (!texture) texture = loadPicture(images[unit]);
        inputs.channels[unit] = texture;
    }
}

OffscreenContext::OffscreenContext() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        throw std::runtime_error(std::string("SDL video: ") + SDL_GetError());
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    window_ = SDL_CreateWindow("effects", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window_) throw std::runtime_error(std::string("window: ") + SDL_GetError());
    context_ = SDL_GL_CreateContext(window_);
    if (!context_) {
        SDL_DestroyWindow(window_);
        throw std::runtime_error(std::string("GL context: ") + SDL_GetError());
    }
    SDL_GL_MakeCurrent(window_, static_cast<SDL_GLContext>(context_));
}

OffscreenContext::~OffscreenContext() {
    SDL_GL_MakeCurrent(window_, nullptr);
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
    SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

std::string effectFragmentSource(int number) {
    std::string source(framework::loadResource(66, "FRAG")->asText());
    source += framework::loadResource(number, "FRAG")->asText();
    return source;
}

framework::gl::GlslProgRef buildEffect(int number) {
    std::string vertex(framework::loadResource(64, "FRAG")->asText());
    return framework::gl::GlslProg::create(vertex, effectFragmentSource(number));
}

std::vector<std::string> activeUniforms(const framework::gl::GlslProg& program) {
    std::vector<std::string> names;
    GLint count = 0;
    glGetProgramiv(program.getHandle(), GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; ++i) {
        char name[256];
        GLsizei length = 0;
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program.getHandle(), static_cast<GLuint>(i), sizeof name, &length, &size, &type, name);
        std::string n(name, static_cast<std::size_t>(length));
        if (n.size() > 3 && n.compare(n.size() - 3, 3, "[0]") == 0) n.resize(n.size() - 3);
        if (n.rfind("gl_", 0) == 0) continue;  // built-in state, e.g. ftransform's matrix
        names.push_back(n);
    }
    return names;
}

Frame render(framework::gl::GlslProg& program, const framework::gl::Fbo& fbo, const Inputs& in) {
    using namespace framework;
    const int w = fbo.getWidth();
    const int h = fbo.getHeight();
    for (int unit = 0; unit < 8; ++unit)
        if (in.channels[unit]) in.channels[unit]->bind(static_cast<GLuint>(unit));

    fbo.bindFramebuffer();
    gl::setMatricesWindow(w, h);
    program.bind();
    program.uniform("iMusicEvent", 0.0f);
    program.uniform("iResolution", Vec3f{float(w), float(h), 1.0f});
    program.uniform("iGlobalTime", in.time);
    for (int n = 0; n < 8; ++n) {
        const std::string i = "[" + std::to_string(n) + "]";
        program.uniform("iChannelTime" + i, in.time);
        Vec3f size{1.0f, 1.0f, 1.0f};
        if (in.channels[n]) size = {float(in.channels[n]->getWidth()), float(in.channels[n]->getHeight()), 1.0f};
        program.uniform("iChannelResolution" + i, size);
    }
    program.uniform("iMouse", in.mouse);
    for (int n = 0; n < 8; ++n) program.uniform("iChannel" + std::to_string(n), n);
    program.uniform("iDate", Vec4f{2024.0f, 1.0f, 1.0f, 0.0f});
    program.uniform("iSampleRate", 44000.0f);
    gl::clear(ColorA{0.0f, 0.0f, 0.0f, 1.0f}, true);
    gl::drawSolidRect(Rectf{0.0f, float(h), float(w), 0.0f});
    gl::GlslProg::unbind();

    Frame frame;
    frame.width = w;
    frame.height = h;
    frame.rgba.resize(static_cast<std::size_t>(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, frame.rgba.data());
    gl::Fbo::unbindFramebuffer();
    return frame;
}

framework::gl::TextureRef loadPicture(int imageId) {
    framework::gl::Texture::Format format;
    format.setWrap(GL_REPEAT, GL_REPEAT);
    return framework::gl::Texture::create(framework::loadImage(framework::loadResource(imageId, "IMAGE"), 0, ""), format);
}

void writePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw std::runtime_error("cannot write " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        throw std::runtime_error("PNG encoding failed for " + path);
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(&rgba[static_cast<std::size_t>(y) * width * 4]));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) throw std::runtime_error("cannot write " + path);
}

}  // namespace effects
