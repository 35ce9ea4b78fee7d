#include <cstdarg>
#include <cstdio>
#include <string>
#include <string_view>

#include <SDL.h>

#include "framework/utf8.h"
#include "platform/message_box.h"
#include "player/lumivex_app.h"

bool fatalReportActive = false;

namespace {

// UTF-8 to UTF-16; a byte that is not part of a valid sequence becomes U+FFFD.
std::u16string toUtf16(std::string_view text) {
    std::u16string out;
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t code = 0;
        if (!framework::decodeUtf8(text, i, code)) {
            code = 0xfffd;
            ++i;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xd800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xdc00 + (code & 0x3ff)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
    }
    return out;
}

}  // namespace

void showFatalError(LumivexApp* app, const char* format, ...) {
    if (fatalReportActive) return;
    fatalReportActive = true;

    // A longer text is cut at the buffer's end rather than written past it.
    char buffer[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);

    SDL_Window* owner = app->getWindow() ? app->getWindow()->getNative() : nullptr;
    platform::showErrorBox(owner, toUtf16(buffer), u"Fatal Error");

    app->quit();
    fatalReportActive = false;
}
