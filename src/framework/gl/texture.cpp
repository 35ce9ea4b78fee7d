#include "framework/gl/texture.h"

#include <stdexcept>
#include <string>

#include "platform/gl_context.h"

namespace framework::gl {

namespace {

bool isMipmapFilter(GLenum filter) {
    return filter == GL_NEAREST_MIPMAP_NEAREST || filter == GL_LINEAR_MIPMAP_NEAREST ||
           filter == GL_NEAREST_MIPMAP_LINEAR || filter == GL_LINEAR_MIPMAP_LINEAR;
}

bool hasSwizzle() {
    static const bool has = epoxy_gl_version() >= 33 || epoxy_has_gl_extension("GL_ARB_texture_swizzle") ||
                            epoxy_has_gl_extension("GL_EXT_texture_swizzle");
    return has;
}

// Keeps the caller's binding of the active unit and its unpack alignment as they were.
class BindingGuard {
public:
    explicit BindingGuard(GLenum target) : target_(target) {
        glGetIntegerv(bindingQuery(target), &previous_);
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment_);
    }
    ~BindingGuard() {
        glPixelStorei(GL_UNPACK_ALIGNMENT, alignment_);
        glBindTexture(target_, static_cast<GLuint>(previous_));
    }

private:
    static GLenum bindingQuery(GLenum target) {
        switch (target) {
        case GL_TEXTURE_RECTANGLE: return GL_TEXTURE_BINDING_RECTANGLE;
        case GL_TEXTURE_1D: return GL_TEXTURE_BINDING_1D;
        default: return GL_TEXTURE_BINDING_2D;
        }
    }
    GLenum target_;
    GLint previous_ = 0;
    GLint alignment_ = 4;
};

void applyParameters(const Texture::Format& format) {
    glTexParameteri(format.target, GL_TEXTURE_WRAP_S, static_cast<GLint>(format.wrapS));
    glTexParameteri(format.target, GL_TEXTURE_WRAP_T, static_cast<GLint>(format.wrapT));
    glTexParameteri(format.target, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(format.magFilter));
    GLenum minFilter = format.minFilter;
    if (!format.mipmapping && isMipmapFilter(minFilter)) {
        // Without levels a mipmap filter would leave the texture incomplete (it samples black).
        minFilter = (minFilter == GL_NEAREST_MIPMAP_NEAREST || minFilter == GL_NEAREST_MIPMAP_LINEAR)
                        ? GL_NEAREST
                        : GL_LINEAR;
    }
    glTexParameteri(format.target, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
    if (!format.mipmapping) glTexParameteri(format.target, GL_TEXTURE_MAX_LEVEL, 0);
}

// Upload format and type that GL accepts for an empty texture of this internal format.
void emptyUploadFormat(GLint internalFormat, GLenum* format, GLenum* type) {
    switch (internalFormat) {
    case GL_DEPTH_COMPONENT:
    case GL_DEPTH_COMPONENT16:
    case GL_DEPTH_COMPONENT24:
    case GL_DEPTH_COMPONENT32:
    case GL_DEPTH_COMPONENT32F:
        *format = GL_DEPTH_COMPONENT;
        *type = GL_FLOAT;
        break;
    case GL_DEPTH_STENCIL:
    case GL_DEPTH24_STENCIL8:
        *format = GL_DEPTH_STENCIL;
        *type = GL_UNSIGNED_INT_24_8;
        break;
    default:
        *format = GL_RGBA;
        *type = GL_UNSIGNED_BYTE;
        break;
    }
}

}  // namespace

TextureRef Texture::create(const ImageSourceRef& image, Format format) {
    if (!image) throw std::invalid_argument("Texture::create: no image");
    const int width = image->getWidth();
    const int height = image->getHeight();
    const int channels = image->getChannels();
    const int stride = image->getPixelStride();
    if (stride != channels && !(channels == 3 && stride == 4))
        throw std::invalid_argument("Texture::create: " + std::to_string(stride) + " bytes per pixel for " +
                                    std::to_string(channels) + " channels");

    GLenum upload = GL_RGBA;
    GLint internal = GL_RGBA8;
    bool greySwizzle = false;
    switch (channels) {
    case 1:
        if (hasSwizzle()) {
            upload = GL_RED;
            internal = GL_R8;
            greySwizzle = true;
        } else {
            upload = GL_LUMINANCE;
            internal = GL_LUMINANCE8;
        }
        break;
    case 2:
        if (hasSwizzle()) {
            upload = GL_RG;
            internal = GL_RG8;
            greySwizzle = true;
        } else {
            upload = GL_LUMINANCE_ALPHA;
            internal = GL_LUMINANCE8_ALPHA8;
        }
        break;
    case 3:
        // Padded RGB goes up as RGBA with its 0xFF padding as alpha.
        upload = stride == 4 ? GL_RGBA : GL_RGB;
        internal = stride == 4 ? GL_RGBA8 : GL_RGB8;
        break;
    case 4:
        upload = GL_RGBA;
        internal = GL_RGBA8;
        break;
    default:
        throw std::invalid_argument("Texture::create: unsupported channel count " + std::to_string(channels));
    }
    if (format.internalFormat != -1) {
        internal = format.internalFormat;
        greySwizzle = greySwizzle && (internal == GL_R8 || internal == GL_RG8);
    }

    GLuint id = 0;
    glGenTextures(1, &id);
    TextureRef texture(new Texture(format.target, id, width, height, internal));
    {
        BindingGuard guard(format.target);
        glBindTexture(format.target, id);
        applyParameters(format);
        if (greySwizzle) {
            const GLint alpha = channels == 2 ? GL_GREEN : GL_ONE;
            const GLint swizzle[4] = {GL_RED, GL_RED, GL_RED, alpha};
            glTexParameteriv(format.target, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
        }
        // Rows are tightly packed; the first stored row is row 0, which GL puts at t = 0.
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(format.target, 0, internal, width, height, 0, upload, GL_UNSIGNED_BYTE, image->getData());
        if (format.mipmapping) glGenerateMipmap(format.target);
    }
    return texture;
}

TextureRef Texture::create(int width, int height, Format format, GLint internalFormat) {
    if (internalFormat == -1) internalFormat = format.internalFormat != -1 ? format.internalFormat : GL_RGBA8;
    GLenum upload, type;
    emptyUploadFormat(internalFormat, &upload, &type);

    GLuint id = 0;
    glGenTextures(1, &id);
    TextureRef texture(new Texture(format.target, id, width, height, internalFormat));
    {
        BindingGuard guard(format.target);
        glBindTexture(format.target, id);
        applyParameters(format);
        glTexImage2D(format.target, 0, internalFormat, width, height, 0, upload, type, nullptr);
        if (format.mipmapping) glGenerateMipmap(format.target);
    }
    return texture;
}

Texture::~Texture() {
    // Without a current context the name is gone with its context already.
    if (id_ != 0 && platform::currentContext() != nullptr) glDeleteTextures(1, &id_);
}

void Texture::bind(GLuint unit) const {
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(target_, id_);
    glActiveTexture(GL_TEXTURE0);
}

void Texture::unbind(GLuint unit) const {
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(target_, 0);
    glActiveTexture(GL_TEXTURE0);
}

}  // namespace framework::gl
