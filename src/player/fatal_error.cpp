#include <cstdarg>
#include <cstdio>
#include <string>

#include <SDL.h>

#include "platform/message_box.h"
#include "player/lumivex_app.h"

bool fatalReportActive = false;

namespace {

// UTF-8 to UTF-16; a byte that is not part of a valid sequence becomes U+FFFD.
std::u16string toUtf16(const char* text) {
    std::u16string out;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        unsigned c = *p;
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        char32_t code = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
        bool valid = extra >= 0;
        for (int i = 1; valid && i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) valid = false;
            else code = (code << 6) | (p[i] & 0x3F);
        }
        static const char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (valid && (code < minimum[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))) valid = false;
        if (!valid) {
            out.push_back(u'\uFFFD');
            ++p;
            continue;
        }
        p += extra + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
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
