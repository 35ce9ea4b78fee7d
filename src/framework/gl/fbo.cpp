#include "framework/gl/fbo.h"

#include <stdexcept>

namespace framework::gl {

struct Fbo::Obj {
    GLuint id = 0;
    GLuint depth = 0;
    int width = 0, height = 0;
    Format format;
    TextureRef color;

    ~Obj() {
        if (depth) glDeleteRenderbuffers(1, &depth);
        if (id) glDeleteFramebuffers(1, &id);
    }
};

Fbo::Fbo(int width, int height) : Fbo(width, height, Format()) {}

Fbo::Fbo(int width, int height, Format format) : obj_(std::make_shared<Obj>()) {
    obj_->width = width;
    obj_->height = height;
    obj_->format = format;

    Texture::Format colorFormat;
    colorFormat.target = format.target;
    colorFormat.setWrap(format.wrapS, format.wrapT);
    colorFormat.setMinFilter(format.minFilter);
    colorFormat.setMagFilter(format.magFilter);
    colorFormat.enableMipmapping(format.mipmapping);
    obj_->color = Texture::create(width, height, colorFormat, format.colorInternalFormat);

    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    glGenFramebuffers(1, &obj_->id);
    glBindFramebuffer(GL_FRAMEBUFFER, obj_->id);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, format.target, obj_->color->getId(), 0);
    if (format.depthBuffer) {
        glGenRenderbuffers(1, &obj_->depth);
        glBindRenderbuffer(GL_RENDERBUFFER, obj_->depth);
        glRenderbufferStorage(GL_RENDERBUFFER, static_cast<GLenum>(format.depthInternalFormat), width, height);
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, obj_->depth);
    }
    GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous));
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        obj_.reset();
        throw std::runtime_error("The frame buffer is incomplete (status " + std::to_string(status) + ")");
    }
}

int Fbo::getWidth() const { return obj_ ? obj_->width : 0; }
int Fbo::getHeight() const { return obj_ ? obj_->height : 0; }
const Fbo::Format& Fbo::getFormat() const {
    static const Format none;
    return obj_ ? obj_->format : none;
}
GLuint Fbo::getId() const { return obj_ ? obj_->id : 0; }
TextureRef Fbo::getTexture(int) const { return obj_ ? obj_->color : nullptr; }

void Fbo::bindFramebuffer() const {
    if (obj_) glBindFramebuffer(GL_FRAMEBUFFER, obj_->id);
}

void Fbo::unbindFramebuffer() { glBindFramebuffer(GL_FRAMEBUFFER, 0); }

}  // namespace framework::gl
