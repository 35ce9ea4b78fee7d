#pragma once
// The effect player: one application object on the framework's loop, and the file-level
// state beside it.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include <boost/filesystem/path.hpp>

#include "framework/app.h"
#include "framework/concurrent_circular_buffer.h"
#include "framework/gl/fbo.h"
#include "framework/gl/glsl_prog.h"
#include "framework/gl/texture.h"
#include "platform/gl_context.h"
#include "player/shader_request.h"

namespace sound {
class System;
class Sound;
class Channel;
}  // namespace sound

using ShaderQueue = framework::ConcurrentCircularBuffer<ShaderRequest>;

class LumivexApp : public framework::AppBasic {
public:
    LumivexApp();
    ~LumivexApp() override;

    void setup() override;
    void shutdown() override;
    void update() override;
    void draw() override;
    void mouseDown(framework::MouseEvent event) override;
    void mouseDrag(framework::MouseEvent event) override;
    void keyDown(framework::KeyEvent event) override;
    void resize() override;
    void fileDrop(framework::FileDropEvent event) override;
    void prepareSettings(Settings* settings) override;

    int changeDisplayMode(int width, int height);
    bool startLoader();
    void loaderMain(platform::DeviceContext deviceContext, platform::GlContext loaderContext);
    void applyEffectUniforms(framework::gl::GlslProgRef program, float effectStartTime);
    void playSoundtrack(const boost::filesystem::path& path);

    // Members are open so that tests can look at the player's state between its steps.
    std::int32_t restoreWidth;
    std::int32_t restoreHeight;
    double switchTime;
    double transitionLength;
    framework::gl::GlslProgRef transitionProgram;
    framework::gl::GlslProgRef currentProgram;
    framework::gl::GlslProgRef pendingProgram;
    framework::gl::Fbo effectFbo;
    framework::gl::Fbo switchFbo;
    std::array<framework::gl::TextureRef, 24> textures;
    std::array<float, 4> mouse{0.0f, 0.0f, 0.0f, 0.0f};
    ShaderQueue* requestQueue;
    ShaderQueue* resultQueue;
    std::shared_ptr<std::thread> loaderThread;
    std::atomic<bool> loaderStop;

private:
    // The steps of setup that other files of the player carry.
    void loadTextureSet();
    void loadTransitionProgram();
    void fillTimeline();
    void startSoundSystem();
    void stopSoundSystem();
};

// File-level state, one each for the process.
extern sound::System* soundSystem;
extern sound::Sound* soundtrackStream;
extern sound::Channel* soundtrackChannel;
extern std::uint32_t musicPosition;
extern float musicEventCount;
extern std::int32_t timelineCount;
extern std::int32_t timelineIndex;
extern float effectStartTime;
extern bool isFirstProgram;
extern bool fatalReportActive;

// Shows a "Fatal Error" box with the printf-formatted text and asks `app` to quit; a report
// asked for while another is on screen is dropped.
void showFatalError(LumivexApp* app, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The display modes this program tries, in order (each deliverable links its own list).
struct DisplayModeChoice {
    int width;
    int height;
    float frameRate;
};
extern const DisplayModeChoice displayModes[];
extern const int displayModeCount;
