#pragma once
// The console text of a failed display-mode change.

#include <string>

// The explanation that goes with a non-zero result of a display-mode change.
const char* displayModeErrorText(int result);

// The whole console line for that result, newline included.
std::string displayModeErrorLine(int result);

// The way back at the end of a run, to the mode claimed before the first change; a failure is
// written to the console like a failed change.
int restoreDisplayMode(int width, int height);
