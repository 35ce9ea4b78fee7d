// One frame of the show: the update with its program hand-over, the draw with its texture
// set and switch, the frame buffers, and the values every effect receives.

#include "player/frame.h"

#include <cstdio>
#include <ctime>
#include <string>

#include "framework/gl/draw.h"
#include "player/lumivex_app.h"
#include "player/soundtrack.h"
#include "player/timeline.h"

namespace gl = framework::gl;
using framework::ColorA;
using framework::Rectf;
using framework::Vec3f;
using framework::Vec4f;

float effectStartTime = 0.0f;
bool isFirstProgram = true;

float playbackSeconds(std::uint32_t positionMs) {
    return static_cast<float>(static_cast<double>(positionMs)) / 1000.0f;
}

float effectTime(std::uint32_t positionMs, float startTime) {
    return playbackSeconds(positionMs) - startTime;
}

Vec4f dateOf(std::time_t clock) {
    std::tm parts{};
    if (!gmtime_r(&clock, &parts)) return Vec4f{};
    const int seconds = parts.tm_hour * 3600 + parts.tm_min * 60 + parts.tm_sec;
    return Vec4f{static_cast<float>(parts.tm_year + 1900), static_cast<float>(parts.tm_mon + 1),
                 static_cast<float>(parts.tm_mday), static_cast<float>(seconds)};
}

bool isTimelineUsedUp(int index, int count) { return index > count - 2; }

// Written as a negation so that a fraction that is not a number counts as past.
bool isPastSwitch(double fraction) { return !(fraction <= 0.0); }

std::string formatCounter() {
    char text[16];
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(musicPosition));
    return text;
}

namespace {

void bindImage(const std::array<gl::TextureRef, 24>& textures, const TextureBinding& binding) {
    const int slot = textureSlotOf(binding.image);
    if (slot >= 0 && textures[slot]) textures[slot]->bind(static_cast<GLuint>(binding.unit));
}

// A new frame buffer holds opaque black until something is drawn into it.
void clearToBlack(const gl::Fbo& fbo) {
    fbo.bindFramebuffer();
    gl::clear(ColorA{0.0f, 0.0f, 0.0f, 1.0f}, true);
    gl::Fbo::unbindFramebuffer();
}

}  // namespace

void bindTextureSet(const std::array<gl::TextureRef, 24>& textures, int textureSet) {
    for (const TextureBinding& binding : textureBindings(textureSet)) bindImage(textures, binding);
}

void LumivexApp::update() {
    updateSound();

    if (isTimelineUsedUp(timelineIndex, timelineCount)) quit();

    if (!pendingProgram && resultQueue && resultQueue->isNotEmpty()) {
        ShaderRequest record;
        resultQueue->popBack(record);
        pendingProgram = record.program;
        const float now = playbackSeconds(musicPosition);
        const EffectEntry& entry = entryInForce(timelineIndex);
        if (isFirstProgram) {
            isFirstProgram = false;
            switchTime = now;
        } else {
            switchTime = static_cast<double>(now + entry.duration);
            effectStartTime = now;
        }
        transitionLength = static_cast<double>(entry.transition);
    }

    if (framework::Window* window = getWindow())
        window->setTitle(" Time = " + formatCounter() + " Effect = " + std::to_string(timelineIndex));
}

void LumivexApp::draw() {
    bindTextureSet(textures, entryInForce(timelineIndex).textureSet);

    const float width = static_cast<float>(getWindowWidth());
    const float height = static_cast<float>(getWindowHeight());

    if (currentProgram && effectFbo) {
        effectFbo.bindFramebuffer();
        applyEffectUniforms(currentProgram, effectStartTime);
        gl::clear(ColorA{0.0f, 0.0f, 0.0f, 1.0f}, true);
        // (x1, y1) is the bottom-left corner, so the effect's texture coordinates run upwards.
        gl::drawSolidRect(Rectf{0.0f, height, width, 0.0f});
        gl::GlslProg::unbind();
        gl::Fbo::unbindFramebuffer();
    }

    const double now = playbackSeconds(musicPosition);
    const double fraction = (now - switchTime) / transitionLength;
    const Rectf bounds = getWindowBounds();

    if (isPastSwitch(fraction) && pendingProgram) {
        if (switchFbo) gl::draw(switchFbo.getTexture(0), bounds);
        currentProgram = pendingProgram;
        pendingProgram.reset();
        ++timelineIndex;
        return;
    }
    // Past the switch time with nothing waiting, the window keeps showing the current effect
    // rather than whatever the swapped-in back buffer holds.
    if (effectFbo) gl::draw(effectFbo.getTexture(0), bounds);
}

void LumivexApp::resize() {
    int height = getWindowHeight();
    int width = getWindowWidth();
    effectFbo = gl::Fbo(width, height);
    clearToBlack(effectFbo);

    height = getWindowHeight();
    width = getWindowWidth();
    switchFbo = gl::Fbo(width, height);
    clearToBlack(switchFbo);

    effectFbo.getTexture(0)->setFlipped();
    switchFbo.getTexture(0)->setFlipped();
}

void LumivexApp::applyEffectUniforms(gl::GlslProgRef program, float startTime) {
    if (!program) return;
    program->bind();

    static const std::string channelTimeNames[8] = {
        "iChannelTime[0]", "iChannelTime[1]", "iChannelTime[2]", "iChannelTime[3]",
        "iChannelTime[4]", "iChannelTime[5]", "iChannelTime[6]", "iChannelTime[7]"};
    static const std::string channelResolutionNames[8] = {
        "iChannelResolution[0]", "iChannelResolution[1]", "iChannelResolution[2]",
        "iChannelResolution[3]", "iChannelResolution[4]", "iChannelResolution[5]",
        "iChannelResolution[6]", "iChannelResolution[7]"};
    static const std::string samplerNames[8] = {"iChannel0", "iChannel1", "iChannel2", "iChannel3",
                                                "iChannel4", "iChannel5", "iChannel6", "iChannel7"};
    static const std::string musicEventName = "iMusicEvent", resolutionName = "iResolution",
                             globalTimeName = "iGlobalTime", mouseName = "iMouse", dateName = "iDate",
                             sampleRateName = "iSampleRate";

    const Vec3f resolution{static_cast<float>(getWindowWidth()), static_cast<float>(getWindowHeight()), 1.0f};
    const float t = effectTime(musicPosition, startTime);
    Vec3f channelResolution[8];
    for (int n = 0; n < 8; ++n) {
        const gl::TextureRef& texture = textures[n];
        channelResolution[n] = texture ? Vec3f{static_cast<float>(texture->getWidth()),
                                               static_cast<float>(texture->getHeight()), 1.0f}
                                       : Vec3f{1.0f, 1.0f, 1.0f};
    }
    const Vec4f date = dateOf(std::time(nullptr));

    program->uniform(musicEventName, musicEventCount);
    program->uniform(resolutionName, resolution);
    program->uniform(globalTimeName, t);
    for (int n = 0; n < 8; ++n) program->uniform(channelTimeNames[n], t);
    for (int n = 0; n < 8; ++n) program->uniform(channelResolutionNames[n], channelResolution[n]);
    program->uniform(mouseName, Vec4f{mouse[0], mouse[1], mouse[2], mouse[3]});
    for (int n = 0; n < 8; ++n) program->uniform(samplerNames[n], n);
    program->uniform(dateName, date);
    program->uniform(sampleRateName, 44000.0f);
}
