#pragma once
// Input events as the application's overrides receive them.

#include <cstddef>
#include <filesystem>
#include <vector>

#include "framework/geometry.h"

namespace framework {

class MouseEvent {
public:
    enum Button { Left = 1, Middle = 2, Right = 4 };
    enum Modifier { Shift = 1, Ctrl = 2, Alt = 4 };

    MouseEvent(int x, int y, unsigned buttons, unsigned modifiers)
        : x_(x), y_(y), buttons_(buttons), modifiers_(modifiers) {}

    // Window pixels from the top-left corner; outside the window while a button is held.
    int getX() const { return x_; }
    int getY() const { return y_; }
    Vec2i getPos() const { return {x_, y_}; }
    bool isLeft() const { return buttons_ & Left; }
    bool isMiddle() const { return buttons_ & Middle; }
    bool isRight() const { return buttons_ & Right; }
    unsigned getModifiers() const { return modifiers_; }

private:
    int x_, y_;
    unsigned buttons_, modifiers_;
};

class KeyEvent {
public:
    enum { KEY_ESCAPE = 27 };
    enum Modifier { Shift = 1, Ctrl = 2, Alt = 4 };

    KeyEvent(int code, unsigned modifiers) : code_(code), modifiers_(modifiers) {}
    // The key's code; Escape is 27 whatever the modifiers.
    int getCode() const { return code_; }
    unsigned getModifiers() const { return modifiers_; }

private:
    int code_;
    unsigned modifiers_;
};

class FileDropEvent {
public:
    explicit FileDropEvent(std::vector<std::filesystem::path> files) : files_(std::move(files)) {}
    const std::vector<std::filesystem::path>& getFiles() const { return files_; }
    std::size_t getNumFiles() const { return files_.size(); }
    const std::filesystem::path& getFile(std::size_t index) const { return files_.at(index); }

private:
    std::vector<std::filesystem::path> files_;
};

}  // namespace framework
