#include "platform/message_box.h"

#include <SDL.h>

#include <utility>

namespace platform {
namespace {

ErrorBoxHandler& handler() {
    static ErrorBoxHandler instance;
    return instance;
}

std::string toUtf8(const std::u16string& text) {
    // The terminating zero goes through the conversion too: SDL's result is not terminated
    // otherwise.
    char* converted = SDL_iconv_string("UTF-8", "UTF-16LE", reinterpret_cast<const char*>(text.c_str()),
                                       (text.size() + 1) * sizeof(char16_t));
    if (!converted) return {};
    std::string result(converted);
    SDL_free(converted);
    return result;
}

}  // namespace

void showErrorBox(SDL_Window* owner, const std::u16string& text, const std::u16string& caption) {
    if (handler()) {
        handler()(owner, text, caption);
        return;
    }
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, toUtf8(caption).c_str(), toUtf8(text).c_str(), owner);
}

void setErrorBoxHandler(ErrorBoxHandler replacement) { handler() = std::move(replacement); }

}  // namespace platform
