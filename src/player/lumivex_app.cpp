#include "player/lumivex_app.h"

#include <exception>

#include "player/display_mode.h"

LumivexApp::LumivexApp()
    : restoreWidth(0),
      restoreHeight(0),
      switchTime(0.0),
      transitionLength(0.0),
      requestQueue(nullptr),
      resultQueue(nullptr),
      loaderStop(false) {}

// Members go in reverse order of declaration; the queues, the loader thread, the sound and
// the display are shutdown's business, not the destructor's.
LumivexApp::~LumivexApp() = default;

void LumivexApp::setup() {
    requestQueue = new ShaderQueue(100);
    resultQueue = new ShaderQueue(100);

    if (!startLoader()) showFatalError(this, "Failed to create the loader thread and context.");

    try {
        loadTextureSet();
        loadTransitionProgram();
    } catch (const std::exception& e) {
        showFatalError(this, "Failed to load common textures and shaders:\n%s", e.what());
    }

    fillTimeline();

    startSoundSystem();
}

void LumivexApp::shutdown() {
    stopSoundSystem();

    showCursor();

    restoreDisplayMode(restoreWidth, restoreHeight);

    loaderStop = true;
    // Only the loader pushes results, and it waits only when the queue is full; with the stop
    // flag up, a full queue is the one case in which the join below could wait for ever.
    if (resultQueue && !resultQueue->isNotFull()) resultQueue->cancel();
    if (loaderThread && loaderThread->joinable()) loaderThread->join();

    delete resultQueue;
    resultQueue = nullptr;
    delete requestQueue;
    requestQueue = nullptr;
}
