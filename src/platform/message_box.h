#pragma once
// A modal message box with one OK button and the error icon, owned by a window.

#include <functional>
#include <string>

struct SDL_Window;

namespace platform {

// Returns when the user has closed the box.
void showErrorBox(SDL_Window* owner, const std::u16string& text, const std::u16string& caption);

// Tests put their own box in place of the real one; an empty function restores it.
using ErrorBoxHandler = std::function<void(SDL_Window*, const std::u16string&, const std::u16string&)>;
void setErrorBoxHandler(ErrorBoxHandler handler);

}  // namespace platform
