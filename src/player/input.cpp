// Window input: the mouse feeds iMouse, Escape ends the run, dropped files become requests.

#include <string>

#include "framework/utf8.h"
#include "player/lumivex_app.h"

namespace {

// File names arrive as UTF-8; the request carries them as code points, one per wide
// character. A byte that is not part of valid UTF-8 becomes U+FFFD, so such a name reaches
// the loader (which reports it as missing) instead of being lost without a word.
std::wstring widePath(const std::string& bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        char32_t code = 0;
        if (framework::decodeUtf8(bytes, i, code)) {
            out += static_cast<wchar_t>(code);
        } else {
            out += static_cast<wchar_t>(0xfffd);
            ++i;
        }
    }
    return out;
}

}  // namespace

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
        request.path = widePath(file.native());
        requestQueue->pushFront(request);
    }
}
