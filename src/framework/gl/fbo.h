#pragma once

#include <epoxy/gl.h>

#include <memory>

#include "framework/gl/texture.h"

namespace framework::gl {

// A frame buffer with one colour texture and a depth buffer.
class Fbo {
public:
    struct Format {
        GLenum target = GL_TEXTURE_2D;
        GLint colorInternalFormat = GL_RGBA8;
        GLint depthInternalFormat = GL_DEPTH_COMPONENT24;
        bool depthBuffer = true;
        bool stencilBuffer = false;
        int samples = 0;
        int coverageSamples = 0;
        bool mipmapping = false;
        GLenum wrapS = GL_CLAMP_TO_EDGE;
        GLenum wrapT = GL_CLAMP_TO_EDGE;
        GLenum minFilter = GL_LINEAR;
        GLenum magFilter = GL_LINEAR;
    };

    Fbo() = default;  // empty: no frame buffer
    // Throws std::runtime_error when GL cannot complete the frame buffer.
    Fbo(int width, int height);
    Fbo(int width, int height, Format format);

    explicit operator bool() const { return static_cast<bool>(obj_); }
    int getWidth() const;
    int getHeight() const;
    const Format& getFormat() const;
    GLuint getId() const;
    TextureRef getTexture(int attachment = 0) const;

    void bindFramebuffer() const;
    static void unbindFramebuffer();  // back to the window's frame buffer

private:
    struct Obj;
    std::shared_ptr<Obj> obj_;
};

}  // namespace framework::gl
