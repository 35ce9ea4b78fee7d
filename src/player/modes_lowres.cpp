#include "player/lumivex_app.h"

// The low-resolution build never tries a larger mode, whatever the display accepts.
const DisplayModeChoice displayModes[] = {
    {640, 480, 60.0f},
};
const int displayModeCount = 1;
