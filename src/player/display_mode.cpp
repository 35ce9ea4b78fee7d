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

int LumivexApp::changeDisplayMode(int width, int height) {
    int result = platform::changeDisplaySettings(width, height);
    if (result == platform::DisplayChangeSuccessful) return result;
    // One write per line, so a loader-thread line can never land inside it.
    framework::console() << displayModeErrorLine(result);
    return result;
}

void LumivexApp::prepareSettings(Settings* settings) {
    // The desktop as it is before any change is what shutdown goes back to.
    int desktopWidth = 0, desktopHeight = 0;
    const bool desktopKnown = platform::currentDisplaySize(desktopWidth, desktopHeight);

    const DisplayModeChoice* chosen = nullptr;
    for (int i = 0; i < displayModeCount; ++i) {
        if (changeDisplayMode(displayModes[i].width, displayModes[i].height) == 0) {
            chosen = &displayModes[i];
            break;
        }
    }
    if (!chosen) std::exit(0);

    // Without a known desktop, going back to the mode in force changes nothing.
    restoreWidth = desktopKnown ? desktopWidth : chosen->width;
    restoreHeight = desktopKnown ? desktopHeight : chosen->height;

    settings->setFrameRate(chosen->frameRate);
    settings->setWindowSize(chosen->width, chosen->height);
    settings->setWindowPos(0, 0);
    hideCursor();
    settings->setResizable(false);
    settings->setBorderless(true);
    // Applied by the framework once the window's context is current, before the first frame.
    enableVerticalSync(true);
}
