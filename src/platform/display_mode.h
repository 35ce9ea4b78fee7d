#pragma once
// Desktop display mode of the X screen the window will open on.

#include <functional>

namespace platform {

// Result codes of a display-mode change.
enum DisplayChangeResult : int {
    DisplayChangeSuccessful = 0,
    DisplayChangeRestart = 1,
    DisplayChangeFailed = -1,
    DisplayChangeBadMode = -2,
    DisplayChangeNotUpdated = -3,
    DisplayChangeBadFlags = -4,
    DisplayChangeBadParam = -5,
    DisplayChangeBadDualView = -6,
};

// Sets the desktop to exactly width x height. A screen already in that mode succeeds
// without a change.
//   DisplayChangeSuccessful  the mode is in force
//   DisplayChangeBadMode     the screen's output offers no mode of exactly that size
//   DisplayChangeFailed      no X display, no RandR, or the server refused the change
int changeDisplaySettings(int width, int height);

// The desktop's size now; false when there is no display to ask.
bool currentDisplaySize(int& width, int& height);

// Tests put a handler in place of the X server; an empty handler restores the real call.
using DisplayChangeHandler = std::function<int(int width, int height)>;
void setDisplayChangeHandler(DisplayChangeHandler replacement);

}  // namespace platform
