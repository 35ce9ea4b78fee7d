#include "player/lumivex_app.h"

// Tried in this order; the first the desktop accepts wins. 1920 x 1080 runs unthrottled in
// practice (limit 500), the smaller modes at 60.
const DisplayModeChoice displayModes[] = {
    {1920, 1080, 500.0f},
    {1280, 768, 60.0f},
    {640, 480, 60.0f},
};
const int displayModeCount = 3;
