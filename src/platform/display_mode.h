#pragma once
// Desktop display mode of the X screen the window will open on.

#include <functional>
#include <string>

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

// Why no X display can be reached, as one console line without its newline; empty when one can
// (or a handler stands in for it).
std::string unreachableDisplay();

// The desktop's size now; false when there is no display to ask.
bool currentDisplaySize(int& width, int& height);

// Where the output whose mode a change sets lies on the desktop, which may span several outputs,
// and its size as the server shows it now. Xwayland changes a mode only for the connection that
// asked and keeps reporting the output's real size. False, with x and y 0 and the size left as
// it was, when there is no output to ask or a handler stands in for the server.
bool currentOutputArea(int& x, int& y, int& width, int& height);

// The mode this run goes back to at its end, and its size: the desktop's mode as found or, while
// other runs that changed it are still on the screen, the one the first of them found. Counts
// this process among the runs sharing it. False when there is no display to ask.
bool claimDisplayMode(int& width, int& height);

// The way back at the end of a run: while other runs still share the changed desktop nothing
// changes; the last one out puts back the exact mode claimed (size and refresh rate). Without a
// claim, a plain change to width x height. Same result codes as a change.
int restoreDisplaySettings(int width, int height);

// Tests put a handler in place of the X server, for changes and the way back; an empty handler
// restores the real calls.
using DisplayChangeHandler = std::function<int(int width, int height)>;
void setDisplayChangeHandler(DisplayChangeHandler replacement);

}  // namespace platform
