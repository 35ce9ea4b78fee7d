#pragma once
// The few small value types the framework's interfaces speak in.

namespace framework {

struct Vec2i {
    int x = 0, y = 0;
    bool operator==(const Vec2i&) const = default;
};
struct Vec2f {
    float x = 0, y = 0;
};
struct Vec3f {
    float x = 0, y = 0, z = 0;
    bool operator==(const Vec3f&) const = default;
};
struct Vec4f {
    float x = 0, y = 0, z = 0, w = 0;
    bool operator==(const Vec4f&) const = default;
};
struct ColorA {
    float r = 0, g = 0, b = 0, a = 1;
};
// Corners (x1, y1) and (x2, y2) in window coordinates: origin top-left, y downwards.
struct Rectf {
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

}  // namespace framework
