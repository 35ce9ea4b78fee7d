#pragma once
// The application framework: settings, the GL renderer, the basic application class with its
// overridable operations, and the launcher that drives an application through its life.

#include <atomic>
#include <memory>
#include <string>

#include "framework/events.h"
#include "framework/geometry.h"

struct SDL_Window;

namespace framework {

class Settings {
public:
    void setFrameRate(float framesPerSecond) {
        frameRate_ = framesPerSecond;
        frameRateEnabled_ = true;
    }
    void disableFrameRate() { frameRateEnabled_ = false; }
    float getFrameRate() const { return frameRate_; }
    bool isFrameRateEnabled() const { return frameRateEnabled_; }

    void setWindowSize(int width, int height) { windowSize_ = {width, height}; }
    Vec2i getWindowSize() const { return windowSize_; }

    void setWindowPos(int x, int y) {
        windowPos_ = {x, y};
        windowPosSpecified_ = true;
    }
    Vec2i getWindowPos() const { return windowPos_; }
    bool isWindowPosSpecified() const { return windowPosSpecified_; }

    void setResizable(bool resizable) { resizable_ = resizable; }
    bool isResizable() const { return resizable_; }
    void setBorderless(bool borderless) { borderless_ = borderless; }
    bool isBorderless() const { return borderless_; }
    void setFullScreen(bool fullScreen) { fullScreen_ = fullScreen; }
    bool isFullScreen() const { return fullScreen_; }
    // A window that is the whole picture of a display whose mode the application set itself:
    // the window manager is told it is full-screen, the display is left as it is.
    void setCoversDisplay(bool covers) { coversDisplay_ = covers; }
    bool coversDisplay() const { return coversDisplay_; }

    void setTitle(const std::string& title) { title_ = title; }
    const std::string& getTitle() const { return title_; }

private:
    float frameRate_ = 60.0f;
    bool frameRateEnabled_ = true;
    Vec2i windowSize_{640, 480};
    Vec2i windowPos_{0, 0};
    bool windowPosSpecified_ = false;
    bool resizable_ = true;
    bool borderless_ = false;
    bool fullScreen_ = false;
    bool coversDisplay_ = false;
    std::string title_;
};

class RendererGl {
public:
    explicit RendererGl(int antiAliasing = 0) : antiAliasing_(antiAliasing) {}
    int getAntiAliasing() const { return antiAliasing_; }

private:
    int antiAliasing_;
};
using RendererRef = std::shared_ptr<RendererGl>;

// The one window and its GL context.
class Window {
public:
    SDL_Window* getNative() const { return native_; }
    void* getGlContext() const { return glContext_; }
    int getWidth() const;
    int getHeight() const;
    Vec2i getSize() const { return {getWidth(), getHeight()}; }
    Rectf getBounds() const;
    void setTitle(const std::string& title);
    std::string getTitle() const;

private:
    friend class AppBasic;
    friend class Launcher;
    SDL_Window* native_ = nullptr;
    void* glContext_ = nullptr;
};

class AppBasic {
public:
    using Settings = framework::Settings;

    AppBasic();
    virtual ~AppBasic();

    virtual void prepareSettings(Settings*) {}
    virtual void setup() {}
    virtual void shutdown() {}
    virtual void update() {}
    virtual void draw() {}
    virtual void resize() {}
    virtual void mouseDown(MouseEvent) {}
    virtual void mouseUp(MouseEvent) {}
    virtual void mouseMove(MouseEvent) {}
    virtual void mouseDrag(MouseEvent) {}
    virtual void mouseWheel(MouseEvent) {}
    virtual void keyDown(KeyEvent) {}
    virtual void keyUp(KeyEvent) {}
    virtual void fileDrop(FileDropEvent) {}

    // Asks the loop to end; it is looked at only at the end of a frame.
    void quit() { quitRequested_ = true; }
    bool isQuitRequested() const { return quitRequested_; }

    Window* getWindow() { return window_.get(); }
    int getWindowWidth() const;
    int getWindowHeight() const;
    Vec2i getWindowSize() const { return {getWindowWidth(), getWindowHeight()}; }
    Rectf getWindowBounds() const;
    const Settings& getSettings() const { return settings_; }

    // Both may be asked for before the window exists; they take effect once it does.
    void showCursor();
    void hideCursor();
    void enableVerticalSync(bool enable = true);

    // Seconds since the launch, from the framework's own clock.
    double getElapsedSeconds() const;
    unsigned getElapsedFrames() const { return frames_; }

private:
    friend class Launcher;
    Settings settings_;
    std::unique_ptr<Window> window_;
    std::atomic<bool> quitRequested_{false};
    bool cursorVisible_ = true;
    bool verticalSync_ = false;
    unsigned frames_ = 0;
};

// Runs the application through its stages; takes ownership of `app` and deletes it before
// returning. Returns the process status the run asks for (0 after an ordinary run).
int launch(AppBasic* app, RendererRef renderer, const std::string& name);

}  // namespace framework
