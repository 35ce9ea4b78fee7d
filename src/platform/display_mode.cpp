#include "platform/display_mode.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace platform {
namespace {

DisplayChangeHandler& handler() {
    static DisplayChangeHandler instance;
    return instance;
}

// X errors of our own requests are counted instead of ending the process (Xlib's default).
int trappedErrors = 0;
int countError(Display*, XErrorEvent*) {
    ++trappedErrors;
    return 0;
}

class ErrorTrap {
public:
    explicit ErrorTrap(Display* display) : display_(display) {
        XSync(display_, False);
        trappedErrors = 0;
        previous_ = XSetErrorHandler(countError);
    }
    ~ErrorTrap() {
        XSync(display_, False);
        XSetErrorHandler(previous_);
    }
    bool failed() {
        XSync(display_, False);
        return trappedErrors != 0;
    }

private:
    Display* display_;
    int (*previous_)(Display*, XErrorEvent*) = nullptr;
};

// One connection of our own for the whole run, from the first query to the last restore; SDL
// opens its own later. A bare server resets when its last client leaves and refuses connections
// while it does, so closing between calls would race that reset.
void forgetClaim();

class Connection {
public:
    ~Connection() { close(); }
    // The display named by DISPLAY now; a changed name closes the old connection first.
    Display* get() {
        const char* variable = std::getenv("DISPLAY");
        const std::string name = variable ? variable : "";
        if (opened_ && name == name_) return display_;
        close();
        name_ = name;
        opened_ = true;
        display_ = openPatiently();
        return display_;
    }
    void close() {
        if (display_) {
            forgetClaim();  // a claim lives on its connection's server
            XCloseDisplay(display_);
        }
        display_ = nullptr;
        opened_ = false;
    }

private:
    // Another client that just left may have set off a reset: give the server a moment.
    Display* openPatiently() {
        using namespace std::chrono;
        const auto deadline = steady_clock::now() + seconds(2);
        for (;;) {
            if (Display* display = XOpenDisplay(nullptr)) return display;
            if (name_.empty() || steady_clock::now() >= deadline) return nullptr;
            std::this_thread::sleep_for(milliseconds(20));
        }
    }

    Display* display_ = nullptr;
    std::string name_;
    bool opened_ = false;
};

Connection& connection() {
    static Connection instance;
    return instance;
}

bool hasCrtcRandr(Display* display) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase)) return false;
    if (!XRRQueryVersion(display, &major, &minor)) return false;
    return major > 1 || (major == 1 && minor >= 2);
}

// The output whose picture the desktop shows: the primary one, else the first that is lit.
struct Target {
    XRRScreenResources* resources = nullptr;
    XRROutputInfo* output = nullptr;
    RROutput outputId = None;
    XRRCrtcInfo* crtc = nullptr;

    Target() = default;
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;
    ~Target() {
        if (crtc) XRRFreeCrtcInfo(crtc);
        if (output) XRRFreeOutputInfo(output);
        if (resources) XRRFreeScreenResources(resources);
    }
};

bool findTarget(Display* display, Window root, Target& target) {
    target.resources = XRRGetScreenResourcesCurrent(display, root);
    if (!target.resources || target.resources->noutput == 0) {
        if (target.resources) XRRFreeScreenResources(target.resources);
        target.resources = XRRGetScreenResources(display, root);
    }
    if (!target.resources) return false;

    auto lit = [&](RROutput id) -> bool {
        XRROutputInfo* info = XRRGetOutputInfo(display, target.resources, id);
        if (!info) return false;
        if (info->connection == RR_Connected && info->crtc != None) {
            XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, target.resources, info->crtc);
            if (crtc && crtc->mode != None) {
                target.output = info;
                target.outputId = id;
                target.crtc = crtc;
                return true;
            }
            if (crtc) XRRFreeCrtcInfo(crtc);
        }
        XRRFreeOutputInfo(info);
        return false;
    };

    RROutput primary = XRRGetOutputPrimary(display, root);
    if (primary != None && lit(primary)) return true;
    for (int i = 0; i < target.resources->noutput; ++i)
        if (lit(target.resources->outputs[i])) return true;
    return false;
}

const XRRModeInfo* modeInfo(const XRRScreenResources* resources, RRMode id) {
    for (int i = 0; i < resources->nmode; ++i)
        if (resources->modes[i].id == id) return &resources->modes[i];
    return nullptr;
}

double refreshRate(const XRRModeInfo& mode) {
    double total = double(mode.hTotal) * double(mode.vTotal);
    return total > 0 ? double(mode.dotClock) / total : 0.0;
}

bool sideways(Rotation rotation) { return (rotation & (RR_Rotate_90 | RR_Rotate_270)) != 0; }

// The output's mode of exactly width x height as shown under the CRTC's rotation: `exact` when
// it is one of them, else the preferred mode when that fits, else the highest refresh rate.
RRMode pickMode(const Target& target, int width, int height, RRMode exact) {
    RRMode preferred = None, best = None;
    double bestRate = -1.0;
    const bool swap = sideways(target.crtc->rotation);
    for (int i = 0; i < target.output->nmode; ++i) {
        const XRRModeInfo* mode = modeInfo(target.resources, target.output->modes[i]);
        if (!mode) continue;
        int shownWidth = int(swap ? mode->height : mode->width);
        int shownHeight = int(swap ? mode->width : mode->height);
        if (shownWidth != width || shownHeight != height) continue;
        if (mode->id == exact) return exact;
        if (i < target.output->npreferred && preferred == None) preferred = mode->id;
        double rate = refreshRate(*mode);
        if (rate > bestRate) {
            bestRate = rate;
            best = mode->id;
        }
    }
    return preferred != None ? preferred : best;
}

// The root window's size as the server has it now. (Xlib's own screen record keeps the size the
// screen had when the connection was opened, and ours lives across changes.)
void screenSize(Display* display, int& width, int& height) {
    Window root = None;
    int x = 0, y = 0;
    unsigned w = 0, h = 0, border = 0, depth = 0;
    if (!XGetGeometry(display, DefaultRootWindow(display), &root, &x, &y, &w, &h, &border, &depth)) return;
    width = int(w);
    height = int(h);
}

int millimetres(int pixels, int currentPixels, int currentMillimetres) {
    if (currentPixels > 0 && currentMillimetres > 0)
        return int(double(pixels) * currentMillimetres / currentPixels + 0.5);
    return int(double(pixels) * 25.4 / 96.0 + 0.5);
}

// Holds the server for the life of the object, so that reading and writing the shared mark and
// changing the mode are one step for every other client.
class ServerGrab {
public:
    explicit ServerGrab(Display* display) : display_(display) { XGrabServer(display_); }
    ~ServerGrab() {
        XUngrabServer(display_);
        XSync(display_, False);
    }
    ServerGrab(const ServerGrab&) = delete;
    ServerGrab& operator=(const ServerGrab&) = delete;

private:
    Display* display_;
};

// Sets the target's CRTC to width x height; `exact`, when the output still offers it at that
// size, is the mode to use. The caller holds the server.
int setMode(Display* display, int width, int height, RRMode exact) {
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    // Without per-output control a screen of the right size still needs no change.
    if (!hasCrtcRandr(display)) {
        int screenWidth = 0, screenHeight = 0;
        screenSize(display, screenWidth, screenHeight);
        return screenWidth == width && screenHeight == height ? DisplayChangeSuccessful : DisplayChangeFailed;
    }
    Target target;
    if (!findTarget(display, root, target)) return DisplayChangeFailed;

    const RRMode mode = pickMode(target, width, height, exact);
    const bool sameSize = int(target.crtc->width) == width && int(target.crtc->height) == height;
    if (exact != None && mode == exact ? target.crtc->mode == exact : sameSize) return DisplayChangeSuccessful;
    if (mode == None) return DisplayChangeBadMode;

    // The screen must hold every lit CRTC, ours with its new size.
    const int x = target.crtc->x, y = target.crtc->y;
    int newWidth = x + width, newHeight = y + height;
    for (int i = 0; i < target.resources->ncrtc; ++i) {
        RRCrtc id = target.resources->crtcs[i];
        if (id == target.output->crtc) continue;
        XRRCrtcInfo* other = XRRGetCrtcInfo(display, target.resources, id);
        if (!other) continue;
        if (other->mode != None) {
            newWidth = std::max(newWidth, other->x + int(other->width));
            newHeight = std::max(newHeight, other->y + int(other->height));
        }
        XRRFreeCrtcInfo(other);
    }
    int minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0;
    if (XRRGetScreenSizeRange(display, root, &minWidth, &minHeight, &maxWidth, &maxHeight)) {
        newWidth = std::max(newWidth, minWidth);
        newHeight = std::max(newHeight, minHeight);
        if (newWidth > maxWidth || newHeight > maxHeight) return DisplayChangeFailed;
    }

    int oldWidth = 0, oldHeight = 0;
    screenSize(display, oldWidth, oldHeight);
    // The physical size keeps the proportion the connection first saw.
    auto setScreenSize = [&](int w, int h) {
        XRRSetScreenSize(display, root, w, h,
                         millimetres(w, DisplayWidth(display, screen), DisplayWidthMM(display, screen)),
                         millimetres(h, DisplayHeight(display, screen), DisplayHeightMM(display, screen)));
    };

    // Grow the screen first so the CRTC fits at every step, shrink it once the CRTC is set.
    ErrorTrap trap(display);
    const int stepWidth = std::max(oldWidth, newWidth), stepHeight = std::max(oldHeight, newHeight);
    if (stepWidth != oldWidth || stepHeight != oldHeight) setScreenSize(stepWidth, stepHeight);
    Status status = XRRSetCrtcConfig(display, target.resources, target.output->crtc, CurrentTime, x, y, mode,
                                     target.crtc->rotation, target.crtc->outputs, target.crtc->noutput);
    bool refused = status != RRSetConfigSuccess || trap.failed();
    if (refused) {
        if (stepWidth != oldWidth || stepHeight != oldHeight) setScreenSize(oldWidth, oldHeight);
    } else if (newWidth != stepWidth || newHeight != stepHeight) {
        setScreenSize(newWidth, newHeight);
        // Xwayland emulates the output's mode and keeps the screen's size: with the output
        // inside the screen as it is, a refused shrink only leaves unused room.
        if (trap.failed()) {
            int keptWidth = 0, keptHeight = 0;
            screenSize(display, keptWidth, keptHeight);
            refused = x + width > keptWidth || y + height > keptHeight;
        }
    }
    return refused ? DisplayChangeFailed : DisplayChangeSuccessful;
}

int realChange(int width, int height) {
    if (width <= 0 || height <= 0) return DisplayChangeBadMode;
    Display* display = connection().get();
    if (!display) return DisplayChangeFailed;
    ServerGrab grab(display);
    return setMode(display, width, height, None);
}

// Runs that change the desktop share one mark on the root window: the mode the first of them
// found, and one token per run still on the screen. A token is an unmapped window of the run's
// own connection, so the server drops it when that run goes, however it goes. The server hands
// a gone client's ids to the next client, so a token counts only while its window still carries
// the random key the mark holds beside its id.
//   [version, width, height, mode, token, key, token, key...]
constexpr long markVersion = 2;
constexpr std::size_t markHeader = 4;

struct Token {
    Window window = None;
    long key = 0;
};

// This process's share; it holds one while it has a token.
struct Claim {
    int width = 0;
    int height = 0;
    RRMode mode = None;
    Token token;
};

Claim& claim() {
    static Claim instance;
    return instance;
}

void forgetClaim() { claim() = Claim{}; }

Atom markAtom(Display* display) { return XInternAtom(display, "_LUMIVEX_DESKTOP_MODE", False); }
Atom keyAtom(Display* display) { return XInternAtom(display, "_LUMIVEX_DESKTOP_MODE_KEY", False); }

// The 32-bit values of a CARDINAL property; empty when there is none or the window is gone.
std::vector<long> readCardinals(Display* display, Window window, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<long> values;
    ErrorTrap trap(display);
    if (XGetWindowProperty(display, window, property, 0, 1024, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) == Success &&
        !trap.failed() && type == XA_CARDINAL && format == 32 && data) {
        const long* first = reinterpret_cast<const long*>(data);
        values.assign(first, first + count);
    }
    if (data) XFree(data);
    return values;
}

void writeCardinals(Display* display, Window window, Atom property, const std::vector<long>& values) {
    XChangeProperty(display, window, property, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values.data()), int(values.size()));
}

std::vector<long> readMark(Display* display, Window root) {
    std::vector<long> mark = readCardinals(display, root, markAtom(display));
    if (mark.size() < markHeader || mark[0] != markVersion || (mark.size() - markHeader) % 2 != 0) mark.clear();
    return mark;
}

bool isLive(Display* display, const Token& token) {
    return readCardinals(display, token.window, keyAtom(display)) == std::vector<long>{token.key};
}

// The tokens of the mark whose runs are still on the screen, without `except`, as id and key.
std::vector<long> liveTokens(Display* display, const std::vector<long>& mark, const Token& except) {
    std::vector<long> live;
    for (std::size_t i = markHeader; i + 1 < mark.size(); i += 2) {
        const Token token{Window(mark[i]), mark[i + 1]};
        if (token.window == except.window && token.key == except.key) continue;
        if (isLive(display, token)) live.insert(live.end(), {mark[i], mark[i + 1]});
    }
    return live;
}

Token makeToken(Display* display, Window root) {
    XSetWindowAttributes attributes = {};
    attributes.override_redirect = True;
    Token token;
    token.window = XCreateWindow(display, root, -1, -1, 1, 1, 0, 0, InputOnly, CopyFromParent, CWOverrideRedirect,
                                 &attributes);
    // Positive and within 32 bits, so it reads back as written on every platform.
    token.key = long(std::random_device{}() & 0x7fffffffu) | 1;
    writeCardinals(display, token.window, keyAtom(display), {token.key});
    return token;
}

void measure(Display* display, int& width, int& height, RRMode& mode) {
    const int screen = DefaultScreen(display);
    mode = None;
    if (hasCrtcRandr(display)) {
        Target target;
        if (findTarget(display, RootWindow(display, screen), target)) {
            width = int(target.crtc->width);
            height = int(target.crtc->height);
            mode = target.crtc->mode;
            return;
        }
    }
    screenSize(display, width, height);
}

}  // namespace

int changeDisplaySettings(int width, int height) {
    if (handler()) return handler()(width, height);
    return realChange(width, height);
}

std::string unreachableDisplay() {
    if (handler() || connection().get()) return {};
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return "Cannot open an X display: DISPLAY is not set.";
    return std::string("Cannot open the X display \"") + name + "\".";
}

bool currentDisplaySize(int& width, int& height) {
    Display* display = connection().get();
    if (!display) return false;
    RRMode mode = None;
    measure(display, width, height, mode);
    return true;
}

bool currentOutputArea(int& x, int& y, int& width, int& height) {
    x = y = 0;
    // A handler's answers say nothing about the server's outputs.
    if (handler()) return false;
    Display* display = connection().get();
    Target target;
    if (!display || !hasCrtcRandr(display) || !findTarget(display, DefaultRootWindow(display), target)) return false;
    x = target.crtc->x;
    y = target.crtc->y;
    width = int(target.crtc->width);
    height = int(target.crtc->height);
    return true;
}

bool claimDisplayMode(int& width, int& height) {
    Claim& mine = claim();
    Display* display = connection().get();
    if (!display) return false;
    if (mine.token.window != None) {
        width = mine.width;
        height = mine.height;
        return true;
    }
    const Window root = DefaultRootWindow(display);
    ServerGrab grab(display);
    std::vector<long> mark = readMark(display, root);
    std::vector<long> live = liveTokens(display, mark, Token{});
    if (!live.empty()) {
        mine.width = int(mark[1]);
        mine.height = int(mark[2]);
        mine.mode = RRMode(mark[3]);
    } else {
        // No run of ours on the screen: a mark left by one that was killed says nothing now.
        measure(display, mine.width, mine.height, mine.mode);
    }
    mine.token = makeToken(display, root);
    live.insert(live.end(), {long(mine.token.window), mine.token.key});
    mark = {markVersion, mine.width, mine.height, long(mine.mode)};
    mark.insert(mark.end(), live.begin(), live.end());
    writeCardinals(display, root, markAtom(display), mark);
    width = mine.width;
    height = mine.height;
    return true;
}

int restoreDisplaySettings(int width, int height) {
    if (handler()) return handler()(width, height);
    Claim& mine = claim();
    if (mine.token.window == None) return realChange(width, height);
    Display* display = connection().get();
    if (!display) return DisplayChangeFailed;
    const Window root = DefaultRootWindow(display);
    ServerGrab grab(display);
    std::vector<long> mark = readMark(display, root);
    std::vector<long> live = liveTokens(display, mark, mine.token);
    XDestroyWindow(display, mine.token.window);
    const RRMode exact = mine.mode;
    mine = Claim{};
    if (!live.empty()) {
        // Another run still shows in the changed mode; the last one out goes back.
        mark.resize(markHeader);
        mark.insert(mark.end(), live.begin(), live.end());
        writeCardinals(display, root, markAtom(display), mark);
        return DisplayChangeSuccessful;
    }
    XDeleteProperty(display, root, markAtom(display));
    if (width <= 0 || height <= 0) return DisplayChangeBadMode;
    return setMode(display, width, height, exact);
}

void setDisplayChangeHandler(DisplayChangeHandler replacement) { handler() = std::move(replacement); }

}  // namespace platform
