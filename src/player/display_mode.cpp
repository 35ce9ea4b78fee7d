#include "player/display_mode.h"

#include <cstdlib>

#include "framework/console.h"
#include "platform/display_mode.h"
#include "player/lumivex_app.h"

const char* displayModeErrorText(int result) {
    switch (result) {
    case platform::DisplayChangeFailed:
        return "The display driver failed the specified graphics mode.";
    case platform::DisplayChangeBadMode:
        return "The graphics mode is not supported.";
    case platform::DisplayChangeNotUpdated:
        return "Unable to write settings to the registry.";
    case platform::DisplayChangeBadDualView:
        return "The settings change was unsuccessful because the system is DualView capable.";
    default:
        return "Unable to change screen resolution due to unknown error.";
    }
}

std::string displayModeErrorLine(int result) {
    return "Error " + std::to_string(result) + " occurred. " + displayModeErrorText(result) + "\n";
}

namespace {

int reported(int result) {
    if (result == platform::DisplayChangeSuccessful) return result;
    // One write per line, so a loader-thread line can never land inside it.
    framework::console() << displayModeErrorLine(result);
    return result;
}

}  // namespace

int LumivexApp::changeDisplayMode(int width, int height) {
    return reported(platform::changeDisplaySettings(width, height));
}

int restoreDisplayMode(int width, int height) { return reported(platform::restoreDisplaySettings(width, height)); }

void LumivexApp::prepareSettings(Settings* settings) {
    // With no display at all there is nothing to show on: name the one tried, and let whoever
    // started the show see a failure.
    const std::string unreachable = platform::unreachableDisplay();
    if (!unreachable.empty()) {
        framework::console() << unreachable + "\n";
        std::exit(1);
    }

    // The desktop as it is before any change (or as the first of the runs still on the screen
    // found it) is what shutdown goes back to.
    int desktopWidth = 0, desktopHeight = 0;
    const bool desktopKnown = platform::claimDisplayMode(desktopWidth, desktopHeight);

    const DisplayModeChoice* chosen = nullptr;
    for (int i = 0; i < displayModeCount; ++i) {
        if (changeDisplayMode(displayModes[i].width, displayModes[i].height) == 0) {
            chosen = &displayModes[i];
            break;
        }
    }
    if (!chosen) {
        // Nothing was changed; only this run's share of the desktop goes.
        if (desktopKnown) platform::restoreDisplaySettings(desktopWidth, desktopHeight);
        std::exit(0);
    }

    // Without a known desktop, going back to the mode in force changes nothing.
    restoreWidth = desktopKnown ? desktopWidth : chosen->width;
    restoreHeight = desktopKnown ? desktopHeight : chosen->height;

    settings->setFrameRate(chosen->frameRate);
    // The changed output as the server shows it, which need not start at the desktop's corner.
    // On X11 it has the mode's size. Under Xwayland only our own connection sees the mode, not
    // the window's, so the window takes the output's real size, which the compositor can show
    // full screen; a window of the mode's size would stay in the output's corner.
    int left = 0, top = 0, width = chosen->width, height = chosen->height;
    platform::currentOutputArea(left, top, width, height);
    settings->setWindowSize(width, height);
    settings->setWindowPos(left, top);
    hideCursor();
    settings->setResizable(false);
    settings->setBorderless(true);
    // Window managers keep their panels below a full-screen window, not below a borderless one.
    settings->setCoversDisplay(true);
    // Applied by the framework once the window's context is current, before the first frame.
    enableVerticalSync(true);
}
