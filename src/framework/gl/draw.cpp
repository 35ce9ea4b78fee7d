#include "framework/gl/draw.h"

#include <SDL.h>
#include <epoxy/gl.h>

namespace framework::gl {

void setMatricesWindow(int width, int height) {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, width, height, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void clear(const ColorA& color, bool clearDepth) {
    glClearColor(color.r, color.g, color.b, color.a);
    if (clearDepth) {
        glDepthMask(GL_TRUE);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    } else {
        glClear(GL_COLOR_BUFFER_BIT);
    }
}

namespace {

void quad(const Rectf& r, float tTop, float tBottom) {
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, tTop);
    glVertex2f(r.x1, r.y1);
    glTexCoord2f(1.0f, tTop);
    glVertex2f(r.x2, r.y1);
    glTexCoord2f(1.0f, tBottom);
    glVertex2f(r.x2, r.y2);
    glTexCoord2f(0.0f, tBottom);
    glVertex2f(r.x1, r.y2);
    glEnd();
}

}  // namespace

void drawSolidRect(const Rectf& rect) { quad(rect, 0.0f, 1.0f); }

void draw(const TextureRef& texture, const Rectf& rect) {
    if (!texture) return;
    // Unit 0 gets its earlier texture back: a frame's bindings are the caller's to keep.
    GLint previous = 0;
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(texture->getTarget(), texture->getId());
    glEnable(texture->getTarget());
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    // Rectangles run top (y1) to bottom (y2); a flipped texture has t = 0 at the bottom.
    if (texture->isFlipped()) quad(rect, 1.0f, 0.0f);
    else quad(rect, 0.0f, 1.0f);
    glDisable(texture->getTarget());
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
}

bool enableVerticalSync(bool enable) { return SDL_GL_SetSwapInterval(enable ? 1 : 0) == 0; }

}  // namespace framework::gl
