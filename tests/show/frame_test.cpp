// The frame against real GL: the values each effect receives, the texture units each row
// binds, the switch rule as the window shows it, the frame buffers and the hand-over.

#include <gtest/gtest.h>

#include <SDL.h>
#include <epoxy/gl.h>

#include <array>
#include <ctime>
#include <string>
#include <vector>

#include "player/frame.h"
#include "player/timeline.h"
#include "probe_app.h"

using framework::Vec4f;
namespace gl = framework::gl;

namespace {

// Reads every uniform so that none is left out of the built program.
const char* allUniformsBody = R"(
void main()
{
    float s = iMusicEvent + iResolution.x + iResolution.y + iResolution.z + iGlobalTime;
    s += iChannelTime[0] + iChannelTime[1] + iChannelTime[2] + iChannelTime[3];
    s += iChannelTime[4] + iChannelTime[5] + iChannelTime[6] + iChannelTime[7];
    s += iChannelResolution[0].x + iChannelResolution[1].y + iChannelResolution[2].z;
    s += iChannelResolution[3].x + iChannelResolution[4].y + iChannelResolution[5].z;
    s += iChannelResolution[6].x + iChannelResolution[7].y;
    s += iMouse.x + iMouse.y + iMouse.z + iMouse.w + iDate.x + iDate.w + iSampleRate;
    vec2 p = vec2(0.5);
    vec4 c = texture2D(iChannel0, p) + texture2D(iChannel1, p) + texture2D(iChannel2, p) +
             texture2D(iChannel3, p) + texture2D(iChannel4, p) + texture2D(iChannel5, p) +
             texture2D(iChannel6, p) + texture2D(iChannel7, p);
    gl_FragColor = vec4(fract(s)) + c * 0.001;
}
)";

std::array<float, 4> uniformOf(GLuint program, const std::string& name) {
    std::array<float, 4> v{-99.0f, -99.0f, -99.0f, -99.0f};
    GLint location = glGetUniformLocation(program, name.c_str());
    EXPECT_GE(location, 0) << name;
    if (location >= 0) glGetUniformfv(program, location, v.data());
    return v;
}

int intUniformOf(GLuint program, const std::string& name) {
    GLint v = -99;
    GLint location = glGetUniformLocation(program, name.c_str());
    EXPECT_GE(location, 0) << name;
    if (location >= 0) glGetUniformiv(program, location, &v);
    return v;
}

GLint currentProgramHandle() {
    GLint handle = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &handle);
    return handle;
}

// The IMAGE number of the texture bound to each unit, 0 for none and -1 for a stranger.
std::array<int, 8> unitImages(const ProbeApp& app) {
    std::array<int, 8> images{};
    for (int unit = 0; unit < 8; ++unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        GLint id = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &id);
        images[unit] = id == 0 ? 0 : -1;
        for (int image = 128; image <= 152; ++image) {
            int slot = textureSlotOf(image);
            if (slot >= 0 && app.textures[slot] && app.textures[slot]->getId() == static_cast<GLuint>(id))
                images[unit] = image;
        }
    }
    glActiveTexture(GL_TEXTURE0);
    return images;
}

void unbindAllUnits() {
    for (int unit = 0; unit < 8; ++unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    glActiveTexture(GL_TEXTURE0);
}

}  // namespace

TEST(Uniforms, ThirtyValues) {
    bool ran = false;
    auto* app = new ProbeApp;
    app->fullSetup = true;
    app->stopLoaderAfterSetup = true;
    app->onFrame = [&](ProbeApp& a, int) {
        ran = true;
        a.quit();
        gl::GlslProgRef program = effectProgram(allUniformsBody);
        const GLuint handle = program->getHandle();

        // Nothing pressed and no soundtrack: mouse at zero, the clock at zero.
        musicPosition = 0;
        a.applyEffectUniforms(program, 0.0f);
        EXPECT_EQ(uniformOf(handle, "iMouse"), (std::array<float, 4>{0, 0, 0, 0}));
        EXPECT_EQ(uniformOf(handle, "iGlobalTime")[0], 0.0f);
        EXPECT_EQ(uniformOf(handle, "iMusicEvent")[0], 0.0f);

        musicPosition = 123456;
        musicEventCount = 3.0f;
        a.mouse = {10.0f, 20.0f, 30.0f, 40.0f};
        const std::time_t before = std::time(nullptr);
        a.applyEffectUniforms(program, 100.25f);
        const std::time_t after = std::time(nullptr);

        EXPECT_EQ(currentProgramHandle(), static_cast<GLint>(handle));
        const float t = 123456.0f / 1000.0f - 100.25f;
        EXPECT_EQ(uniformOf(handle, "iMusicEvent")[0], 3.0f);
        auto resolution = uniformOf(handle, "iResolution");
        EXPECT_EQ(resolution[0], 640.0f);
        EXPECT_EQ(resolution[1], 480.0f);
        EXPECT_EQ(resolution[2], 1.0f);
        EXPECT_EQ(uniformOf(handle, "iGlobalTime")[0], t);
        for (int n = 0; n < 8; ++n)
            EXPECT_EQ(uniformOf(handle, "iChannelTime[" + std::to_string(n) + "]")[0], t) << n;
        for (int n = 0; n < 8; ++n) {
            auto r = uniformOf(handle, "iChannelResolution[" + std::to_string(n) + "]");
            const float w = n == 0 ? 256.0f : 1900.0f, h = n == 0 ? 256.0f : 1200.0f;
            EXPECT_EQ(r[0], w) << n;
            EXPECT_EQ(r[1], h) << n;
            EXPECT_EQ(r[2], 1.0f) << n;
        }
        EXPECT_EQ(uniformOf(handle, "iMouse"), (std::array<float, 4>{10, 20, 30, 40}));
        for (int n = 0; n < 8; ++n) EXPECT_EQ(intUniformOf(handle, "iChannel" + std::to_string(n)), n);
        auto date = uniformOf(handle, "iDate");
        const Vec4f got{date[0], date[1], date[2], date[3]};
        EXPECT_TRUE(got == dateOf(before) || got == dateOf(after))
            << got.x << "-" << got.y << "-" << got.z << " " << got.w;
        EXPECT_EQ(uniformOf(handle, "iSampleRate")[0], 44000.0f);

        // An empty slot reports (1, 1, 1) and the others keep their sizes.
        gl::TextureRef kept = a.textures[3];
        a.textures[3].reset();
        a.applyEffectUniforms(program, 100.25f);
        auto empty = uniformOf(handle, "iChannelResolution[3]");
        EXPECT_EQ(empty[0], 1.0f);
        EXPECT_EQ(empty[1], 1.0f);
        EXPECT_EQ(empty[2], 1.0f);
        EXPECT_EQ(uniformOf(handle, "iChannelResolution[4]")[0], 1900.0f);
        a.textures[3] = kept;

        // Without a program nothing is bound.
        gl::GlslProg::unbind();
        a.applyEffectUniforms(nullptr, 1.0f);
        EXPECT_EQ(currentProgramHandle(), 0);

        // A body that leaves most uniforms out still takes the ones it reads.
        gl::GlslProgRef partial = effectProgram("void main() { gl_FragColor = iMouse; }\n");
        a.applyEffectUniforms(partial, 0.0f);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        EXPECT_EQ(uniformOf(partial->getHandle(), "iMouse"), (std::array<float, 4>{10, 20, 30, 40}));
        gl::GlslProg::unbind();
        musicPosition = 0;
        musicEventCount = 0.0f;
    };
    EXPECT_EQ(runProbe(app), 0);
    EXPECT_TRUE(ran);
}

TEST(TextureUnits, EachRow) {
    bool ran = false;
    auto* app = new ProbeApp;
    app->fullSetup = true;
    app->stopLoaderAfterSetup = true;
    app->onFrame = [&](ProbeApp& a, int) {
        ran = true;
        a.quit();
        using Units = std::array<int, 8>;
        const Units rows[18] = {
            {128, 143, 136, 131, 130, 132, 141, 142}, {128, 143, 135, 144, 140, 129, 0, 0},
            {128, 136, 151, 144, 140, 146, 0, 0},     {128, 131, 135, 144, 140, 146, 0, 0},
            {128, 130, 135, 144, 140, 146, 0, 0},     {128, 132, 135, 144, 140, 146, 0, 0},
            {128, 141, 135, 144, 140, 146, 0, 0},     {128, 142, 135, 144, 140, 146, 0, 0},
            {128, 137, 135, 144, 140, 146, 0, 0},     {128, 145, 135, 144, 140, 146, 0, 0},
            {128, 149, 135, 144, 140, 146, 0, 0},     {128, 150, 135, 144, 140, 146, 0, 0},
            {128, 133, 135, 144, 140, 146, 0, 0},     {128, 139, 135, 144, 140, 146, 0, 0},
            {128, 147, 135, 144, 140, 146, 0, 0},     {128, 134, 135, 144, 140, 146, 0, 0},
            {128, 138, 135, 144, 140, 146, 0, 0},     {128, 140, 152, 144, 140, 146, 0, 0},
        };
        for (int set = 0; set < 18; ++set) {
            unbindAllUnits();
            bindTextureSet(a.textures, set);
            EXPECT_EQ(unitImages(a), rows[set]) << "texture set " << set;
        }
        const Units alwaysBound{128, 143, 135, 144, 140, 146, 0, 0};
        for (int set : {18, 19, 1000, -1}) {
            unbindAllUnits();
            bindTextureSet(a.textures, set);
            EXPECT_EQ(unitImages(a), alwaysBound) << "texture set " << set;
        }
        GLint active = 0;
        glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
        EXPECT_EQ(active, GL_TEXTURE0);
    };
    EXPECT_EQ(runProbe(app), 0);
    EXPECT_TRUE(ran);
}

TEST(TextureUnits, FramesNeverUnbind) {
    bool ran = false;
    auto* app = new ProbeApp;
    app->fullSetup = true;
    app->stopLoaderAfterSetup = true;
    app->onFrame = [&](ProbeApp& a, int frame) {
        using Units = std::array<int, 8>;
        if (frame == 0) {
            a.currentProgram = solidProgram(0.0f, 1.0f, 0.0f);
            a.switchTime = 1000.0;  // well ahead: plain frames
            timelineIndex = 0;
            effectTimeline[0].set(0.0f, 0.0f, 0);
            a.playerDraw();
            EXPECT_EQ(unitImages(a), (Units{128, 143, 136, 131, 130, 132, 141, 142}));
        } else {
            ran = true;
            a.quit();
            effectTimeline[0].set(0.0f, 0.0f, 3);
            a.playerDraw();
            // Units 6 and 7 keep row 0's pictures; unit 2 has the always-bound one again.
            EXPECT_EQ(unitImages(a), (Units{128, 131, 135, 144, 140, 146, 141, 142}));
            effectTimeline[0].set(0.0f, 0.0f, 1);
            a.playerDraw();
            EXPECT_EQ(unitImages(a), (Units{128, 143, 135, 144, 140, 129, 141, 142}));
            effectTimeline[0].set(0.0f, 0.0f, 17);
            a.playerDraw();
            EXPECT_EQ(unitImages(a), (Units{128, 140, 152, 144, 140, 146, 141, 142}));
            EXPECT_EQ(readBackBuffer(320, 240), (Rgb{0, 255, 0}));
        }
    };
    EXPECT_EQ(runProbe(app), 0);
    EXPECT_TRUE(ran);
}

TEST(Draw, SwitchRuleAsTheWindowShowsIt) {
    bool ran = false;
    auto* app = new ProbeApp;
    app->onFrame = [&](ProbeApp& a, int) {
        ran = true;
        a.quit();
        const Rgb black{0, 0, 0}, red{255, 0, 0}, blue{0, 0, 255};

        // Before the first hand-over: both times 0.0, nothing current or pending; the
        // window shows the black of a new frame buffer.
        EXPECT_EQ(a.switchTime, 0.0);
        EXPECT_EQ(a.transitionLength, 0.0);
        musicPosition = 0;
        a.playerDraw();
        EXPECT_EQ(readBackBuffer(320, 240), black);
        EXPECT_EQ(timelineIndex, 0);

        gl::GlslProgRef programA = solidProgram(1.0f, 0.0f, 0.0f);
        gl::GlslProgRef programB = solidProgram(0.0f, 0.0f, 1.0f);
        a.currentProgram = programA;
        a.pendingProgram = programB;
        a.switchTime = 5.0;
        a.transitionLength = 0.0;
        timelineIndex = 3;

        // Fraction -inf: the current effect is shown, whatever waits.
        musicPosition = 4999;
        a.playerDraw();
        EXPECT_EQ(readBackBuffer(320, 240), red);
        EXPECT_EQ(timelineIndex, 3);
        EXPECT_EQ(a.currentProgram, programA);
        EXPECT_EQ(a.pendingProgram, programB);

        // Fraction 0/0 at the switch time itself: the switch frame shows the other buffer.
        musicPosition = 5000;
        a.playerDraw();
        EXPECT_EQ(readBackBuffer(320, 240), black);
        EXPECT_EQ(timelineIndex, 4);
        EXPECT_EQ(a.currentProgram, programB);
        EXPECT_FALSE(a.pendingProgram);
        a.effectFbo.bindFramebuffer();
        EXPECT_EQ(readPixel(320, 240), red);  // the old program was rendered in that frame
        gl::Fbo::unbindFramebuffer();

        // Fraction +inf with nothing waiting: the current effect stays on screen.
        musicPosition = 6000;
        a.playerDraw();
        EXPECT_EQ(readBackBuffer(320, 240), blue);
        EXPECT_EQ(timelineIndex, 4);
        EXPECT_EQ(a.currentProgram, programB);

        // A positive transition length: a fraction of 0 waits, the next frame switches.
        a.pendingProgram = programA;
        a.switchTime = 6.0;
        a.transitionLength = 0.5;
        a.playerDraw();
        EXPECT_EQ(readBackBuffer(320, 240), blue);
        EXPECT_EQ(timelineIndex, 4);
        musicPosition = 6001;
        a.playerDraw();
        EXPECT_EQ(readBackBuffer(320, 240), black);
        EXPECT_EQ(timelineIndex, 5);
        EXPECT_EQ(a.currentProgram, programA);
        a.playerDraw();
        EXPECT_EQ(readBackBuffer(320, 240), red);
        EXPECT_EQ(timelineIndex, 5);
        musicPosition = 0;
    };
    EXPECT_EQ(runProbe(app), 0);
    EXPECT_TRUE(ran);
}

TEST(Draw, FrameBuffersAndResize) {
    bool ran = false;
    int sizedAt = -1;
    auto* app = new ProbeApp;
    app->onFrame = [&](ProbeApp& a, int frame) {
        if (frame == 0) {
            for (const gl::Fbo* fbo : {&a.effectFbo, &a.switchFbo}) {
                ASSERT_TRUE(*fbo);
                EXPECT_EQ(fbo->getWidth(), 640);
                EXPECT_EQ(fbo->getHeight(), 480);
                EXPECT_TRUE(fbo->getTexture(0)->isFlipped());
                EXPECT_EQ(fbo->getFormat().colorInternalFormat, GL_RGBA8);
                EXPECT_EQ(fbo->getFormat().depthInternalFormat, GL_DEPTH_COMPONENT24);
                EXPECT_EQ(fbo->getFormat().samples, 0);
                fbo->bindFramebuffer();
                EXPECT_EQ(readPixel(0, 0), (Rgb{0, 0, 0}));
                EXPECT_EQ(readPixel(639, 479), (Rgb{0, 0, 0}));
                gl::Fbo::unbindFramebuffer();
            }
            EXPECT_NE(a.effectFbo.getId(), a.switchFbo.getId());

            // Lower half red, upper half blue in the effect's texture coordinates.
            a.currentProgram = effectProgram(
                "void main() { gl_FragColor = gl_TexCoord[0].t < 0.5 ? vec4(1.0, 0.0, 0.0, 1.0)"
                " : vec4(0.0, 0.0, 1.0, 1.0); }\n");
            a.switchTime = 1000.0;
            a.playerDraw();
            // Read from the bottom: the picture stands upright in the window.
            EXPECT_EQ(readBackBuffer(320, 10), (Rgb{255, 0, 0}));
            EXPECT_EQ(readBackBuffer(320, 470), (Rgb{0, 0, 255}));
            SDL_SetWindowSize(a.getWindow()->getNative(), 320, 200);
            return;
        }
        if (a.effectFbo.getWidth() == 320 && sizedAt < 0) sizedAt = frame;
        if (sizedAt < 0 && frame < 300) {
            SDL_Delay(10);
            return;
        }
        ran = true;
        a.quit();
        ASSERT_GE(sizedAt, 0) << "the window never changed size";
        EXPECT_EQ(a.effectFbo.getWidth(), 320);
        EXPECT_EQ(a.effectFbo.getHeight(), 200);
        EXPECT_EQ(a.switchFbo.getWidth(), 320);
        EXPECT_EQ(a.switchFbo.getHeight(), 200);
        EXPECT_TRUE(a.effectFbo.getTexture(0)->isFlipped());
        EXPECT_TRUE(a.switchFbo.getTexture(0)->isFlipped());
        a.playerDraw();
        EXPECT_EQ(readBackBuffer(310, 5), (Rgb{255, 0, 0}));
        EXPECT_EQ(readBackBuffer(310, 195), (Rgb{0, 0, 255}));
    };
    EXPECT_EQ(runProbe(app), 0);
    EXPECT_TRUE(ran);
}

TEST(Update, HandOver) {
    bool ran = false;
    auto* app = new ProbeApp;
    app->afterSetup = [](ProbeApp&) { timelineCount = 29; };
    app->onFrame = [&](ProbeApp& a, int) {
        ran = true;
        gl::GlslProgRef programA = solidProgram(1.0f, 0.0f, 0.0f);
        gl::GlslProgRef programB = solidProgram(0.0f, 0.0f, 1.0f);
        gl::GlslProgRef programC = solidProgram(0.0f, 1.0f, 0.0f);
        for (const auto& program : {programA, programB}) {
            ShaderRequest record(76);
            record.program = program;
            a.resultQueue->pushFront(record);
        }
        effectTimeline[0].set(0.0f, 0.0f, 0);
        effectTimeline[1].set(42.0f, 0.25f, 17);

        // The clock has moved: no soundtrack plays here, so the position set below is what
        // update reads (a null channel leaves it alone).
        // The first program: switch time now, start time left at 0.
        musicPosition = 1250;
        a.playerUpdate();
        EXPECT_EQ(a.pendingProgram, programA);
        EXPECT_FALSE(isFirstProgram);
        EXPECT_EQ(a.switchTime, 1.25);
        EXPECT_EQ(a.transitionLength, 0.0);
        EXPECT_EQ(effectStartTime, 0.0f);
        EXPECT_EQ(a.resultQueue->size(), 1u);
        EXPECT_EQ(a.getWindow()->getTitle(), " Time = 1250 Effect = 0");

        // While a program waits, the next result stays queued.
        a.playerUpdate();
        EXPECT_EQ(a.pendingProgram, programA);
        EXPECT_EQ(a.resultQueue->size(), 1u);

        // Same frame: the switch.
        a.playerDraw();
        EXPECT_EQ(timelineIndex, 1);
        EXPECT_EQ(a.currentProgram, programA);
        EXPECT_FALSE(a.pendingProgram);

        // The second, a frame later: entry 1's duration and transition, start time now.
        musicPosition = 3500;
        a.playerUpdate();
        EXPECT_EQ(a.pendingProgram, programB);
        EXPECT_EQ(a.switchTime, 45.5);
        EXPECT_EQ(a.transitionLength, 0.25);
        EXPECT_EQ(effectStartTime, 3.5f);
        EXPECT_EQ(a.resultQueue->size(), 0u);
        EXPECT_EQ(a.getWindow()->getTitle(), " Time = 3500 Effect = 1");

        // Nothing queued: nothing changes.
        a.pendingProgram.reset();
        a.playerUpdate();
        EXPECT_FALSE(a.pendingProgram);
        EXPECT_FALSE(a.isQuitRequested());

        // The end test: index 27 runs on; 28 ends the run, and the frame's hand-over and
        // title still happen.
        ShaderRequest record(82);
        record.program = programC;
        a.resultQueue->pushFront(record);
        timelineIndex = 27;
        a.pendingProgram = programA;
        a.playerUpdate();
        EXPECT_FALSE(a.isQuitRequested());
        a.pendingProgram.reset();
        timelineIndex = 28;
        a.playerUpdate();
        EXPECT_TRUE(a.isQuitRequested());
        EXPECT_EQ(a.pendingProgram, programC);
        EXPECT_EQ(a.getWindow()->getTitle(), " Time = " + std::to_string(musicPosition) + " Effect = 28");
    };
    EXPECT_EQ(runProbe(app), 0);
    EXPECT_TRUE(ran);
}

TEST(Update, TitleShowsLargePositionsUnsigned) {
    std::vector<std::string> titles;
    auto* app = new ProbeApp;
    app->afterSetup = [](ProbeApp&) { timelineCount = 29; };
    app->onFrame = [&](ProbeApp& a, int) {
        a.quit();
        // No soundtrack channel: the sound step leaves the position as set here.
        for (std::uint32_t position : {0u, 2147483647u, 2147483648u, 3000000000u, 4294967295u}) {
            musicPosition = position;
            timelineIndex = 5;
            a.playerUpdate();
            titles.push_back(a.getWindow()->getTitle());
        }
        ShaderRequest record(76);
        record.program = solidProgram(1.0f, 1.0f, 1.0f);
        a.resultQueue->pushFront(record);
        musicPosition = 3000000000u;
        a.playerUpdate();
        EXPECT_EQ(a.switchTime, static_cast<double>(3000000000.0f / 1000.0f));
        EXPECT_GT(a.switchTime, 0.0);
        musicPosition = 0;
        timelineIndex = 0;
    };
    EXPECT_EQ(runProbe(app), 0);
    EXPECT_EQ(titles, (std::vector<std::string>{" Time = 0 Effect = 5", " Time = 2147483647 Effect = 5",
                                                " Time = 2147483648 Effect = 5", " Time = 3000000000 Effect = 5",
                                                " Time = 4294967295 Effect = 5"}));
}
