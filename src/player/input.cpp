// Window input: the mouse feeds iMouse, Escape ends the run, dropped files become requests.

#include <exception>

#include "player/lumivex_app.h"

void LumivexApp::mouseDown(framework::MouseEvent event) {
    const float x = static_cast<float>(event.getX());
    const float y = static_cast<float>(event.getY());
    mouse = {x, y, x, y};
}

void LumivexApp::mouseDrag(framework::MouseEvent event) {
    mouse[0] = static_cast<float>(event.getX());
    mouse[1] = static_cast<float>(event.getY());
}

void LumivexApp::keyDown(framework::KeyEvent event) {
    if (event.getCode() == framework::KeyEvent::KEY_ESCAPE) quit();
}

void LumivexApp::fileDrop(framework::FileDropEvent event) {
    if (!requestQueue) return;
    for (const auto& file : event.getFiles()) {
        // Only this thread pushes, so room found here is still there for the push.
        if (!requestQueue->isNotFull()) return;
        ShaderRequest request;
        try {
            request.path = file.wstring();
        } catch (const std::exception&) {
            // A name that is not valid in the system's encoding cannot be handed on.
            continue;
        }
        requestQueue->pushFront(request);
    }
}
