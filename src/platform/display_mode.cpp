#include "platform/display_mode.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <utility>

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

// Our own connection to the display named by DISPLAY; SDL opens its own later.
class Connection {
public:
    Connection() : display_(XOpenDisplay(nullptr)) {}
    ~Connection() {
        if (display_) XCloseDisplay(display_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Display* get() const { return display_; }

private:
    Display* display_;
};

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

// The output's mode of exactly width x height as shown under the CRTC's rotation: its
// preferred mode when that fits, else the one with the highest refresh rate.
RRMode pickMode(const Target& target, int width, int height) {
    RRMode best = None;
    double bestRate = -1.0;
    const bool swap = sideways(target.crtc->rotation);
    for (int i = 0; i < target.output->nmode; ++i) {
        const XRRModeInfo* mode = modeInfo(target.resources, target.output->modes[i]);
        if (!mode) continue;
        int shownWidth = int(swap ? mode->height : mode->width);
        int shownHeight = int(swap ? mode->width : mode->height);
        if (shownWidth != width || shownHeight != height) continue;
        if (i < target.output->npreferred) return mode->id;
        double rate = refreshRate(*mode);
        if (rate > bestRate) {
            bestRate = rate;
            best = mode->id;
        }
    }
    return best;
}

int millimetres(int pixels, int currentPixels, int currentMillimetres) {
    if (currentPixels > 0 && currentMillimetres > 0)
        return int(double(pixels) * currentMillimetres / currentPixels + 0.5);
    return int(double(pixels) * 25.4 / 96.0 + 0.5);
}

int realChange(int width, int height) {
    if (width <= 0 || height <= 0) return DisplayChangeBadMode;
    Connection connection;
    Display* display = connection.get();
    if (!display) return DisplayChangeFailed;

    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    // Without per-output control a screen of the right size still needs no change.
    if (!hasCrtcRandr(display)) {
        bool same = DisplayWidth(display, screen) == width && DisplayHeight(display, screen) == height;
        return same ? DisplayChangeSuccessful : DisplayChangeFailed;
    }
    Target target;
    if (!findTarget(display, root, target)) return DisplayChangeFailed;

    if (int(target.crtc->width) == width && int(target.crtc->height) == height) return DisplayChangeSuccessful;

    RRMode mode = pickMode(target, width, height);
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

    const int oldWidth = DisplayWidth(display, screen), oldHeight = DisplayHeight(display, screen);
    const int oldWidthMm = DisplayWidthMM(display, screen), oldHeightMm = DisplayHeightMM(display, screen);
    auto setScreenSize = [&](int w, int h) {
        XRRSetScreenSize(display, root, w, h, millimetres(w, oldWidth, oldWidthMm),
                         millimetres(h, oldHeight, oldHeightMm));
    };

    // Grow the screen first so the CRTC fits at every step, shrink it once the CRTC is set.
    ErrorTrap trap(display);
    XGrabServer(display);
    const int stepWidth = std::max(oldWidth, newWidth), stepHeight = std::max(oldHeight, newHeight);
    if (stepWidth != oldWidth || stepHeight != oldHeight) setScreenSize(stepWidth, stepHeight);
    Status status = XRRSetCrtcConfig(display, target.resources, target.output->crtc, CurrentTime, x, y, mode,
                                     target.crtc->rotation, target.crtc->outputs, target.crtc->noutput);
    bool refused = status != RRSetConfigSuccess || trap.failed();
    if (refused) {
        if (stepWidth != oldWidth || stepHeight != oldHeight) setScreenSize(oldWidth, oldHeight);
    } else if (newWidth != stepWidth || newHeight != stepHeight) {
        setScreenSize(newWidth, newHeight);
        refused = trap.failed();
    }
    XUngrabServer(display);
    XSync(display, False);
    return refused ? DisplayChangeFailed : DisplayChangeSuccessful;
}

}  // namespace

int changeDisplaySettings(int width, int height) {
    if (handler()) return handler()(width, height);
    return realChange(width, height);
}

bool currentDisplaySize(int& width, int& height) {
    Connection connection;
    Display* display = connection.get();
    if (!display) return false;
    const int screen = DefaultScreen(display);
    if (hasCrtcRandr(display)) {
        Target target;
        if (findTarget(display, RootWindow(display, screen), target)) {
            width = int(target.crtc->width);
            height = int(target.crtc->height);
            return true;
        }
    }
    width = DisplayWidth(display, screen);
    height = DisplayHeight(display, screen);
    return true;
}

void setDisplayChangeHandler(DisplayChangeHandler replacement) { handler() = std::move(replacement); }

}  // namespace platform
