// The texture set in the player's own window context (Mesa under Xvfb): the slots after
// setup, and what the effects get when they sample them.

#include <gtest/gtest.h>

#include <epoxy/gl.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/gl/texture.h"
#include "framework/image.h"
#include "framework/resources.h"
#include "probe_app.h"

using framework::gl::TextureRef;

namespace {

constexpr std::array<int, 24> kSlotIds = {128, 143, 136, 131, 130, 132, 141, 142, 137, 145, 149, 150,
                                          133, 139, 147, 134, 138, 140, 135, 144, 129, 146, 151, 152};

std::pair<int, int> listedSize(int id) {
    switch (id) {
    case 128: return {256, 256};
    case 135: return {600, 300};
    case 144: return {2048, 1024};
    case 129: return {1600, 900};
    case 151: return {3027, 2010};
    default: return {1900, 1200};
    }
}

GLuint compile(GLenum type, const std::string& text) {
    const GLuint s = glCreateShader(type);
    const char* src = text.c_str();
    glShaderSource(s, 1, &src, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    char log[1024] = {};
    glGetShaderInfoLog(s, sizeof log, nullptr, log);
    EXPECT_TRUE(ok) << log;
    return s;
}

// Renders a w x h frame in which each fragment samples `texture` at
// ((fragment centre + offset) / size + wraps), and returns its RGBA bytes, bottom row first.
std::vector<std::uint8_t> sampleTexture(const TextureRef& texture, int w, int h, float offsetX, float offsetY,
                                        float wrapsX, float wrapsY) {
    const std::string vs = "#version 120\nvoid main() { gl_Position = gl_Vertex; }";
    const std::string fs =
        "#version 120\n"
        "uniform sampler2D tex; uniform vec2 size; uniform vec2 offset; uniform vec2 wraps;\n"
        "void main() { gl_FragColor = texture2D(tex, (gl_FragCoord.xy + offset) / size + wraps); }";
    const GLuint program = glCreateProgram();
    const GLuint v = compile(GL_VERTEX_SHADER, vs), f = compile(GL_FRAGMENT_SHADER, fs);
    glAttachShader(program, v);
    glAttachShader(program, f);
    glLinkProgram(program);

    GLuint colour = 0, fbo = 0;
    glGenTextures(1, &colour);
    glBindTexture(GL_TEXTURE_2D, colour);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));

    glViewport(0, 0, w, h);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glUseProgram(program);
    texture->bind(0);
    glUniform1i(glGetUniformLocation(program, "tex"), 0);
    glUniform2f(glGetUniformLocation(program, "size"), static_cast<float>(texture->getWidth()),
                static_cast<float>(texture->getHeight()));
    glUniform2f(glGetUniformLocation(program, "offset"), offsetX, offsetY);
    glUniform2f(glGetUniformLocation(program, "wraps"), wrapsX, wrapsY);
    glBegin(GL_QUADS);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    glEnd();

    std::vector<std::uint8_t> out(static_cast<size_t>(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    glUseProgram(0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &fbo);
    glDeleteTextures(1, &colour);
    glDeleteProgram(program);
    glDeleteShader(v);
    glDeleteShader(f);
    return out;
}

framework::ImageSourceRef decoded(int id) { return framework::loadImage(framework::loadResource(id, "IMAGE")); }

// Runs `check` in the first frame after the player's whole setup.
void withLoadedSet(const std::function<void(ProbeApp&)>& check) {
    bool ran = false;
    auto* app = new ProbeApp;
    app->fullSetup = true;
    app->stopLoaderAfterSetup = true;
    app->onFrame = [&](ProbeApp& a, int) {
        ran = true;
        a.quit();
        check(a);
    };
    EXPECT_EQ(runProbe(app), 0);
    EXPECT_TRUE(ran);
}

}  // namespace

TEST(TextureSet, EverySlotHoldsItsPictureAtItsOwnSize) {
    withLoadedSet([](ProbeApp& a) {
        for (size_t slot = 0; slot < kSlotIds.size(); ++slot) {
            SCOPED_TRACE("slot " + std::to_string(slot) + ", IMAGE " + std::to_string(kSlotIds[slot]));
            const TextureRef& t = a.textures[slot];
            ASSERT_TRUE(t);
            const auto [w, h] = listedSize(kSlotIds[slot]);
            EXPECT_EQ(t->getWidth(), w);
            EXPECT_EQ(t->getHeight(), h);
            EXPECT_EQ(t->getTarget(), static_cast<GLenum>(GL_TEXTURE_2D));
            // What GL holds: level 0 at that size, no level 1, the shared format.
            glBindTexture(GL_TEXTURE_2D, t->getId());
            GLint gw = 0, gh = 0, level1 = -1, value = 0;
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &gw);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &gh);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level1);
            EXPECT_EQ(gw, w);
            EXPECT_EQ(gh, h);
            EXPECT_EQ(level1, 0) << "a mipmap level was made";
            glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
            EXPECT_EQ(value, GL_REPEAT);
            glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
            EXPECT_EQ(value, GL_REPEAT);
            glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
            EXPECT_EQ(value, GL_LINEAR);
            glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
            EXPECT_EQ(value, GL_LINEAR);
        }
        glBindTexture(GL_TEXTURE_2D, 0);
        EXPECT_EQ(a.textures[22]->getWidth(), 3027);
        EXPECT_EQ(a.textures[22]->getHeight(), 2010);
        EXPECT_EQ(a.textures[18]->getWidth(), 600);
        EXPECT_EQ(a.textures[18]->getHeight(), 300);
        EXPECT_TRUE(a.transitionProgram);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

TEST(TextureSet, NoiseRepeatsBothWaysAndGreenIsRedMovedBy37And17) {
    withLoadedSet([](ProbeApp& a) {
        const TextureRef& noise = a.textures[0];
        ASSERT_TRUE(noise);
        const auto picture = decoded(128);
        const std::uint8_t* stored = picture->getData();
        auto texel = [&](int x, int y, int c) { return stored[(((y & 255) * 256) + (x & 255)) * 4 + c]; };

        // Texel centres, two and three whole repeats away: the stored texels exactly, the
        // first stored row at t = 0 (the bottom row that glReadPixels returns first).
        const auto far = sampleTexture(noise, 256, 256, 0, 0, 2.0f, -3.0f);
        int wrong = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                for (int c = 0; c < 4; ++c) wrong += far[(y * 256 + x) * 4 + c] != texel(x, y, c);
        EXPECT_EQ(wrong, 0);

        // Green at the texel moved by (37, 17) is red at the unmoved one, across the edges too.
        int broken = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                const int mx = (x + 37) & 255, my = (y + 17) & 255;
                broken += far[(my * 256 + mx) * 4 + 1] != far[(y * 256 + x) * 4 + 0];
                broken += far[(my * 256 + mx) * 4 + 3] != far[(y * 256 + x) * 4 + 2];
            }
        EXPECT_EQ(broken, 0);

        // Half a texel off the centres: the linear filter blends each texel with its left and
        // lower neighbours, which on the first row and column are those of the far edges.
        const auto between = sampleTexture(noise, 256, 256, -0.5f, -0.5f, -1.0f, 1.0f);
        double worst = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                for (int c = 0; c < 4; ++c) {
                    const double expected =
                        (texel(x, y, c) + texel(x - 1, y, c) + texel(x, y - 1, c) + texel(x - 1, y - 1, c)) / 4.0;
                    worst = std::max(worst, std::abs(between[(y * 256 + x) * 4 + c] - expected));
                }
        EXPECT_LE(worst, 1.5);
    });
}

TEST(TextureSet, GreyAndColourPicturesSampleWithAlphaOne) {
    withLoadedSet([](ProbeApp& a) {
        // IMAGE 144 (slot 19): grey in red, green and blue, alpha 1.0, rows in stored order.
        const auto moon = decoded(144);
        ASSERT_EQ(moon->getChannels(), 1);
        const auto grey = sampleTexture(a.textures[19], 2048, 1024, 0, 0, 0, 0);
        int notGrey = 0, wrongValue = 0, notOpaque = 0;
        for (int y = 0; y < 1024; ++y)
            for (int x = 0; x < 2048; ++x) {
                const std::uint8_t* p = &grey[(static_cast<size_t>(y) * 2048 + x) * 4];
                notGrey += p[0] != p[1] || p[1] != p[2];
                wrongValue += p[0] != moon->getData()[static_cast<size_t>(y) * 2048 + x];
                notOpaque += p[3] != 255;
            }
        EXPECT_EQ(notGrey, 0);
        EXPECT_EQ(wrongValue, 0);
        EXPECT_EQ(notOpaque, 0);

        // IMAGE 135 (slot 18), a colour picture without alpha.
        const auto planet = decoded(135);
        const auto colour = sampleTexture(a.textures[18], 600, 300, 0, 0, 0, 0);
        int wrong = 0;
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 600; ++x) {
                const std::uint8_t* p = &colour[(static_cast<size_t>(y) * 600 + x) * 4];
                const std::uint8_t* q = planet->getData() + (static_cast<size_t>(y) * 600 + x) * planet->getPixelStride();
                wrong += p[0] != q[0] || p[1] != q[1] || p[2] != q[2] || p[3] != 255;
            }
        EXPECT_EQ(wrong, 0);

        // Tightly packed RGB made by hand goes up as well, rows of odd length included.
        std::vector<std::uint8_t> rgb(5 * 3 * 3);
        for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>(i * 5);
        const auto small = framework::gl::Texture::create(std::make_shared<framework::ImageSource>(5, 3, 3, rgb));
        const auto got = sampleTexture(small, 5, 3, 0, 0, 0, 0);
        int off = 0;
        for (int i = 0; i < 15; ++i)
            off += got[i * 4] != rgb[i * 3] || got[i * 4 + 1] != rgb[i * 3 + 1] || got[i * 4 + 2] != rgb[i * 3 + 2] ||
                   got[i * 4 + 3] != 255;
        EXPECT_EQ(off, 0);
    });
}
