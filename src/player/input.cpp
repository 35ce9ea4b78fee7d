// Window input: the mouse feeds iMouse, Escape ends the run, dropped files become requests.

#include <string>

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
        const auto c = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        char32_t code = 0;
        if (c < 0x80) {
            length = 1;
            code = c;
        } else if (c >= 0xc2 && c <= 0xdf) {
            length = 2;
            code = c & 0x1f;
        } else if (c >= 0xe0 && c <= 0xef) {
            length = 3;
            code = c & 0x0f;
        } else if (c >= 0xf0 && c <= 0xf4) {
            length = 4;
            code = c & 0x07;
        }
        bool valid = length != 0 && i + length <= bytes.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            valid = (next & 0xc0) == 0x80;
            code = (code << 6) | (next & 0x3f);
        }
        if (valid)
            valid = !(length == 3 && code < 0x800) && !(length == 4 && code < 0x10000) &&
                    !(code >= 0xd800 && code <= 0xdfff) && code <= 0x10ffff;
        if (!valid) {
            out += static_cast<wchar_t>(0xfffd);
            ++i;
            continue;
        }
        out += static_cast<wchar_t>(code);
        i += length;
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
