#pragma once

#include <epoxy/gl.h>

#include <memory>

#include "framework/image.h"

namespace framework::gl {

class Texture;
using TextureRef = std::shared_ptr<Texture>;

struct TextureFormat {
    GLenum target = GL_TEXTURE_2D;
    GLenum wrapS = GL_CLAMP_TO_EDGE;
    GLenum wrapT = GL_CLAMP_TO_EDGE;
    GLenum minFilter = GL_LINEAR;
    GLenum magFilter = GL_LINEAR;
    bool mipmapping = false;
    GLint internalFormat = -1;  // -1: chosen from the picture

    void setWrap(GLenum s, GLenum t) { wrapS = s; wrapT = t; }
    void setWrapS(GLenum s) { wrapS = s; }
    void setWrapT(GLenum t) { wrapT = t; }
    void setMinFilter(GLenum f) { minFilter = f; }
    void setMagFilter(GLenum f) { magFilter = f; }
    void enableMipmapping(bool enable = true) { mipmapping = enable; }
    void setInternalFormat(GLint format) { internalFormat = format; }
};

class Texture {
public:
    // Declared outside the class so that it can serve as a default argument here.
    using Format = TextureFormat;

    // One level at the picture's own size; the first stored row lands at t = 0. Pictures
    // without alpha sample alpha 1.0, a grey one samples its grey in red, green and blue.
    static TextureRef create(const ImageSourceRef& image, Format format = Format());
    // An empty texture, for frame buffer attachments.
    static TextureRef create(int width, int height, Format format, GLint internalFormat);

    ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    int getWidth() const { return width_; }
    int getHeight() const { return height_; }
    GLuint getId() const { return id_; }
    GLenum getTarget() const { return target_; }
    GLint getInternalFormat() const { return internalFormat_; }

    // Makes `unit` active, binds the texture there, then makes unit 0 active again.
    void bind(GLuint unit = 0) const;
    void unbind(GLuint unit = 0) const;

    // A flipped texture is drawn with t = 0 at the bottom edge of the rectangle.
    void setFlipped(bool flipped = true) { flipped_ = flipped; }
    bool isFlipped() const { return flipped_; }

private:
    Texture(GLenum target, GLuint id, int width, int height, GLint internalFormat)
        : target_(target), id_(id), width_(width), height_(height), internalFormat_(internalFormat) {}

    GLenum target_;
    GLuint id_;
    int width_, height_;
    GLint internalFormat_;
    bool flipped_ = false;
};

}  // namespace framework::gl
