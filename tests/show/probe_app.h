#pragma once
// The player in a real window under test: a subclass whose hooks run at its stages, so that
// a test can set the player's state, run one of its operations and look at GL afterwards.

#include <epoxy/gl.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/app.h"
#include "framework/gl/glsl_prog.h"
#include "framework/resources.h"
#include "platform/message_box.h"
#include "player/lumivex_app.h"

class ProbeApp : public LumivexApp {
public:
    // Runs the player's own setup (textures, loader, timeline, sound) when true; otherwise
    // only the two queues are made.
    bool fullSetup = false;
    // Stops the loader at the end of setup, so the request queue holds still.
    bool stopLoaderAfterSetup = false;
    bool unlimitedFrameRate = true;
    std::function<void(ProbeApp&)> afterSetup;
    // Called once per frame in place of update and draw; `frame` counts from 0. The hook
    // calls update()/draw() of the player itself as it needs.
    std::function<void(ProbeApp&, int frame)> onFrame;
    std::function<void(ProbeApp&)> beforeShutdown;
    std::function<void(ProbeApp&)> afterShutdown;

    void prepareSettings(Settings* settings) override {
        LumivexApp::prepareSettings(settings);
        if (unlimitedFrameRate) settings->disableFrameRate();
    }

    void setup() override {
        if (fullSetup) {
            LumivexApp::setup();
        } else {
            requestQueue = new ShaderQueue(100);
            resultQueue = new ShaderQueue(100);
        }
        if (stopLoaderAfterSetup) stopLoader();
        if (afterSetup) afterSetup(*this);
    }

    void update() override {}
    void draw() override {
        if (onFrame) onFrame(*this, frame_);
        else quit();
        ++frame_;
    }

    void shutdown() override {
        if (beforeShutdown) beforeShutdown(*this);
        LumivexApp::shutdown();
        if (afterShutdown) afterShutdown(*this);
    }

    void stopLoader() {
        loaderStop = true;
        if (loaderThread && loaderThread->joinable()) loaderThread->join();
        loaderThread.reset();
    }

    void playerUpdate() { LumivexApp::update(); }
    void playerDraw() { LumivexApp::draw(); }

private:
    int frame_ = 0;
};

// Launches the app (which the framework deletes) and returns the launcher's status.
inline int runProbe(ProbeApp* app) {
    return framework::launch(app, std::make_shared<framework::RendererGl>(0), "LumivexApp");
}

// An effect program as the loader builds one: pass-through vertex stage, common header, body.
inline framework::gl::GlslProgRef effectProgram(const std::string& body) {
    const std::string vertex(framework::loadResource(64, "FRAG")->asText());
    const std::string header(framework::loadResource(66, "FRAG")->asText());
    return std::make_shared<framework::gl::GlslProg>(vertex, header + body);
}

// A body that paints one colour.
inline framework::gl::GlslProgRef solidProgram(float r, float g, float b) {
    return effectProgram("void main() { gl_FragColor = vec4(" + std::to_string(r) + ", " +
                         std::to_string(g) + ", " + std::to_string(b) + ", 1.0); }\n");
}

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

// A pixel of the frame buffer bound for reading; y counts from the bottom.
inline Rgb readPixel(int x, int y) {
    unsigned char p[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

// What a window pixel will show once the frame is swapped.
inline Rgb readBackBuffer(int x, int y) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    return readPixel(x, y);
}

// While it lives, the fatal report's boxes are recorded here instead of shown: (text,
// caption), with every character beyond ASCII as '?'.
class BoxRecorder {
public:
    BoxRecorder() {
        platform::setErrorBoxHandler([this](SDL_Window*, const std::u16string& text, const std::u16string& caption) {
            boxes.push_back({ascii(text), ascii(caption)});
        });
    }
    ~BoxRecorder() { platform::setErrorBoxHandler({}); }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    std::vector<std::pair<std::string, std::string>> boxes;

private:
    static std::string ascii(const std::u16string& s) {
        std::string out;
        for (char16_t c : s) out += c < 0x80 ? static_cast<char>(c) : '?';
        return out;
    }
};
