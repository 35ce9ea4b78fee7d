#include "framework/app.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <epoxy/gl.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>
#include <vector>

#include "framework/console.h"
#include "framework/gl/draw.h"

namespace framework {
namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point launchTime() {
    static const Clock::time_point start = Clock::now();
    return start;
}

unsigned modifiersOf(Uint16 mod) {
    unsigned result = 0;
    if (mod & KMOD_SHIFT) result |= KeyEvent::Shift;
    if (mod & KMOD_CTRL) result |= KeyEvent::Ctrl;
    if (mod & KMOD_ALT) result |= KeyEvent::Alt;
    return result;
}

unsigned buttonsOf(Uint32 state) {
    unsigned result = 0;
    if (state & SDL_BUTTON_LMASK) result |= MouseEvent::Left;
    if (state & SDL_BUTTON_MMASK) result |= MouseEvent::Middle;
    if (state & SDL_BUTTON_RMASK) result |= MouseEvent::Right;
    return result;
}

unsigned buttonOf(Uint8 button) {
    switch (button) {
        case SDL_BUTTON_LEFT: return MouseEvent::Left;
        case SDL_BUTTON_MIDDLE: return MouseEvent::Middle;
        case SDL_BUTTON_RIGHT: return MouseEvent::Right;
        default: return 0;
    }
}

// Set by the handler of the signals that ask a run to end (a closed terminal, Ctrl+C, Ctrl+\,
// kill); the launcher turns it into a quit so that shutdown still runs.
std::atomic<bool> stopSignalled{false};
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler may only touch lock-free atomics");

extern "C" void onStopSignal(int) { stopSignalled.store(true, std::memory_order_relaxed); }

// In place before the application's first step, so that a run that has changed the desktop is
// never ended without its shutdown. A signal ignored when we started (nohup) stays ignored.
void catchStopSignals() {
    stopSignalled.store(false, std::memory_order_relaxed);
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) {
        struct sigaction previous = {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
}

// Asks the window manager, before the window is mapped, for the standard full-screen state: a
// window manager then stacks it above its panels, a Wayland compositor shows it over the output.
// The window keeps its place and size; with no window manager nothing changes.
void askFullScreenState(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    ::Display* display = info.info.x11.display;
    Atom fullScreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    XChangeProperty(display, info.info.x11.window, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(&fullScreen), 1);
}

}  // namespace

int Window::getWidth() const {
    int w = 0, h = 0;
    if (native_) SDL_GetWindowSize(native_, &w, &h);
    return w;
}

int Window::getHeight() const {
    int w = 0, h = 0;
    if (native_) SDL_GetWindowSize(native_, &w, &h);
    return h;
}

Rectf Window::getBounds() const {
    return {0.0f, 0.0f, static_cast<float>(getWidth()), static_cast<float>(getHeight())};
}

void Window::setTitle(const std::string& title) {
    if (native_) SDL_SetWindowTitle(native_, title.c_str());
}

std::string Window::getTitle() const { return native_ ? SDL_GetWindowTitle(native_) : std::string(); }

AppBasic::AppBasic() { launchTime(); }
AppBasic::~AppBasic() = default;

int AppBasic::getWindowWidth() const { return window_ ? window_->getWidth() : 0; }
int AppBasic::getWindowHeight() const { return window_ ? window_->getHeight() : 0; }
Rectf AppBasic::getWindowBounds() const { return window_ ? window_->getBounds() : Rectf{}; }

void AppBasic::showCursor() {
    cursorVisible_ = true;
    if (window_) SDL_ShowCursor(SDL_ENABLE);
}

void AppBasic::hideCursor() {
    cursorVisible_ = false;
    if (window_) SDL_ShowCursor(SDL_DISABLE);
}

void AppBasic::enableVerticalSync(bool enable) {
    verticalSync_ = enable;
    if (window_ && SDL_GL_GetCurrentContext()) gl::enableVerticalSync(enable);
}

double AppBasic::getElapsedSeconds() const {
    return std::chrono::duration<double>(Clock::now() - launchTime()).count();
}

// Drives one application through its stages, in order: settings, window, setup, the first
// resize, frames, shutdown, deletion.
class Launcher {
public:
    Launcher(AppBasic* app, RendererRef renderer) : app_(app), renderer_(std::move(renderer)) {}

    int run(const std::string& name) {
        catchStopSignals();
        app_->settings_.setTitle(name);
        app_->prepareSettings(&app_->settings_);

        // Asked to end before the window exists: straight to shutdown.
        if (takeStopSignal()) {
            app_->shutdown();
            delete app_;
            return 0;
        }
        if (!openWindow()) {
            // Without a window nothing was set up, but what the settings changed (the desktop
            // mode) is still shutdown's to put back.
            app_->shutdown();
            delete app_;
            SDL_Quit();
            return 1;
        }

        applyWindowMatrices();
        app_->setup();
        takeStopSignal();
        app_->resize();

        while (!app_->isQuitRequested()) runFrame();

        app_->shutdown();
        // The application's GL objects go with it, so its context must outlive it.
        delete app_;
        closeWindow();
        return 0;
    }

private:
    bool openWindow() {
        SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
        SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
        SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "1");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
            console() << "Cannot start the video system: " << SDL_GetError() << '\n';
            return false;
        }
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
        int samples = renderer_ ? renderer_->getAntiAliasing() : 0;
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, samples > 0 ? 1 : 0);
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, samples);

        const Settings& s = app_->settings_;
        Uint32 flags = SDL_WINDOW_OPENGL | (s.coversDisplay() ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN);
        if (s.isBorderless()) flags |= SDL_WINDOW_BORDERLESS;
        if (s.isResizable()) flags |= SDL_WINDOW_RESIZABLE;
        if (s.isFullScreen()) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
        int x = s.isWindowPosSpecified() ? s.getWindowPos().x : SDL_WINDOWPOS_CENTERED;
        int y = s.isWindowPosSpecified() ? s.getWindowPos().y : SDL_WINDOWPOS_CENTERED;

        SDL_Window* native = SDL_CreateWindow(s.getTitle().c_str(), x, y, s.getWindowSize().x,
                                              s.getWindowSize().y, flags);
        if (!native) {
            console() << "Cannot open the window: " << SDL_GetError() << '\n';
            return false;
        }
        if (s.coversDisplay()) {
            askFullScreenState(native);
            SDL_ShowWindow(native);
        }
        SDL_GLContext context = SDL_GL_CreateContext(native);
        if (!context) {
            console() << "Cannot create the GL context: " << SDL_GetError() << '\n';
            SDL_DestroyWindow(native);
            return false;
        }
        SDL_GL_MakeCurrent(native, context);
        native_ = native;
        context_ = context;

        app_->window_ = std::make_unique<Window>();
        app_->window_->native_ = native;
        app_->window_->glContext_ = context;
        gl::enableVerticalSync(app_->verticalSync_);
        SDL_ShowCursor(app_->cursorVisible_ ? SDL_ENABLE : SDL_DISABLE);
        lastSize_ = app_->getWindowSize();
        return true;
    }

    void closeWindow() {
        SDL_GL_MakeCurrent(native_, nullptr);
        SDL_GL_DeleteContext(context_);
        SDL_DestroyWindow(native_);
        SDL_Quit();
    }

    void runFrame() {
        app_->update();
        applyWindowMatrices();
        app_->draw();
        SDL_GL_SwapWindow(native_);
        ++app_->frames_;
        pumpEvents();
        pace();
    }

    void applyWindowMatrices() { gl::setMatricesWindow(app_->getWindowWidth(), app_->getWindowHeight()); }

    void pumpEvents() {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            switch (event.type) {
                case SDL_QUIT:
                    app_->quit();
                    break;
                case SDL_WINDOWEVENT:
                    if (event.window.event == SDL_WINDOWEVENT_CLOSE) app_->quit();
                    if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) resizeIfChanged();
                    break;
                case SDL_MOUSEBUTTONDOWN:
                    app_->mouseDown(MouseEvent(event.button.x, event.button.y, buttonOf(event.button.button),
                                               modifiersOf(SDL_GetModState())));
                    break;
                case SDL_MOUSEBUTTONUP:
                    app_->mouseUp(MouseEvent(event.button.x, event.button.y, buttonOf(event.button.button),
                                             modifiersOf(SDL_GetModState())));
                    break;
                case SDL_MOUSEMOTION: {
                    MouseEvent mouse(event.motion.x, event.motion.y, buttonsOf(event.motion.state),
                                     modifiersOf(SDL_GetModState()));
                    if (event.motion.state != 0) app_->mouseDrag(mouse);
                    else app_->mouseMove(mouse);
                    break;
                }
                case SDL_MOUSEWHEEL: {
                    int x = 0, y = 0;
                    SDL_GetMouseState(&x, &y);
                    app_->mouseWheel(MouseEvent(x, y, 0, modifiersOf(SDL_GetModState())));
                    break;
                }
                case SDL_KEYDOWN:
                    app_->keyDown(KeyEvent(static_cast<int>(event.key.keysym.sym), modifiersOf(event.key.keysym.mod)));
                    break;
                case SDL_KEYUP:
                    app_->keyUp(KeyEvent(static_cast<int>(event.key.keysym.sym), modifiersOf(event.key.keysym.mod)));
                    break;
                case SDL_DROPBEGIN:
                    dropOpen_ = true;
                    break;
                case SDL_DROPFILE:
                    if (event.drop.file) {
                        dropped_.emplace_back(event.drop.file);
                        SDL_free(event.drop.file);
                    }
                    break;
                case SDL_DROPCOMPLETE:
                    dropOpen_ = false;
                    deliverDrop();
                    break;
                default:
                    break;
            }
        }
        // A drop without its begin and complete marks still arrives, as one event per pump.
        if (!dropOpen_) deliverDrop();
        resizeIfChanged();
        takeStopSignal();
    }

    // A stop signal becomes a quit, looked at where any quit is.
    bool takeStopSignal() {
        if (!stopSignalled.load(std::memory_order_relaxed)) return false;
        app_->quit();
        return true;
    }

    void deliverDrop() {
        if (dropped_.empty()) return;
        std::vector<std::filesystem::path> files;
        files.swap(dropped_);
        app_->fileDrop(FileDropEvent(std::move(files)));
    }

    void resizeIfChanged() {
        Vec2i size = app_->getWindowSize();
        if (size == lastSize_) return;
        lastSize_ = size;
        applyWindowMatrices();
        app_->resize();
    }

    void pace() {
        const Settings& s = app_->settings_;
        if (!s.isFrameRateEnabled() || s.getFrameRate() <= 0.0f) return;
        auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / s.getFrameRate()));
        // nextFrame_ is when this frame was due to start; a frame that ran over its period
        // lets the next one start at once instead of sleeping on top of it.
        auto now = Clock::now();
        if (nextFrame_ == Clock::time_point{}) nextFrame_ = now;
        auto due = nextFrame_ + period;
        if (now >= due) {
            nextFrame_ = now;
            return;
        }
        nextFrame_ = due;
        std::this_thread::sleep_until(nextFrame_);
    }

    AppBasic* app_;
    RendererRef renderer_;
    SDL_Window* native_ = nullptr;
    SDL_GLContext context_ = nullptr;
    Vec2i lastSize_;
    Clock::time_point nextFrame_{};
    std::vector<std::filesystem::path> dropped_;
    bool dropOpen_ = false;
};

int launch(AppBasic* app, RendererRef renderer, const std::string& name) {
    Launcher launcher(app, std::move(renderer));
    return launcher.run(name);
}

}  // namespace framework
