#pragma once
// A small float raster with anti-aliased drawing, text through FreeType and the encoders.

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pictures {

struct Vec2 {
    double x = 0, y = 0;
};
inline Vec2 operator+(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
inline Vec2 operator-(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
inline Vec2 operator*(Vec2 a, double s) { return {a.x * s, a.y * s}; }
inline double dot(Vec2 a, Vec2 b) { return a.x * b.x + a.y * b.y; }
inline double length(Vec2 a) { return std::sqrt(dot(a, a)); }
inline Vec2 normalize(Vec2 a) {
    double l = length(a);
    return l > 0 ? a * (1.0 / l) : a;
}
inline Vec2 perp(Vec2 a) { return {-a.y, a.x}; }
inline Vec2 lerp(Vec2 a, Vec2 b, double t) { return a + (b - a) * t; }

struct Color {
    float r = 0, g = 0, b = 0;
};
inline Color grey(float v) { return {v, v, v}; }
inline Color mix(Color a, Color b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
inline Color operator*(Color c, float s) { return {c.r * s, c.g * s, c.b * s}; }
inline Color operator+(Color a, Color b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }

template <class T>
T clamp01(T v) {
    return v < T(0) ? T(0) : (v > T(1) ? T(1) : v);
}
inline double smoothstep(double a, double b, double x) {
    double t = clamp01((x - a) / (b - a));
    return t * t * (3 - 2 * t);
}

// Coverage over a rectangle of the canvas.
struct Mask {
    int x0 = 0, y0 = 0, w = 0, h = 0;
    std::vector<float> a;
    float& at(int x, int y) { return a[static_cast<size_t>(y) * w + x]; }
};

// RGB samples in 0..1 (values outside are clamped on output).
class Canvas {
public:
    Canvas() = default;
    Canvas(int w, int h, Color fill = {});
    int width() const { return w_; }
    int height() const { return h_; }
    Color get(int x, int y) const {
        const float* p = &px_[(static_cast<size_t>(y) * w_ + x) * 3];
        return {p[0], p[1], p[2]};
    }
    void set(int x, int y, Color c) {
        float* p = &px_[(static_cast<size_t>(y) * w_ + x) * 3];
        p[0] = c.r, p[1] = c.g, p[2] = c.b;
    }
    void blend(int x, int y, Color c, float a) {
        if (x < 0 || y < 0 || x >= w_ || y >= h_ || a <= 0) return;
        float* p = &px_[(static_cast<size_t>(y) * w_ + x) * 3];
        p[0] += (c.r - p[0]) * a, p[1] += (c.g - p[1]) * a, p[2] += (c.b - p[2]) * a;
    }
    void add(int x, int y, Color c, float a) {
        if (x < 0 || y < 0 || x >= w_ || y >= h_ || a <= 0) return;
        float* p = &px_[(static_cast<size_t>(y) * w_ + x) * 3];
        p[0] += c.r * a, p[1] += c.g * a, p[2] += c.b * a;
    }
    // Bilinear sample at pixel coordinates (centre of pixel i at i + 0.5); outside is `outside`.
    Color sample(double x, double y, Color outside = {}) const;

    void composite(const Mask& m, Color c, float opacity = 1.0f);
    // Every pixel through f(x, y), rows spread over the machine's cores.
    void shade(const std::function<Color(int, int)>& f);

    std::vector<std::uint8_t> toBytes(int channels) const;  // 1 (luma) or 3
    const std::vector<float>& pixels() const { return px_; }

private:
    int w_ = 0, h_ = 0;
    std::vector<float> px_;
};

void parallelRows(int height, const std::function<void(int)>& row);

// Filled polygon (non-zero winding), anti-aliased.
Mask polygonMask(const std::vector<Vec2>& pts, int canvasW, int canvasH);
// Round-capped stroke along a polyline; width per point (or one width).
Mask strokeMask(const std::vector<Vec2>& pts, const std::vector<double>& widths, int canvasW, int canvasH);
Mask strokeMask(const std::vector<Vec2>& pts, double width, int canvasW, int canvasH);

void fillPolygon(Canvas& c, const std::vector<Vec2>& pts, Color col, float opacity = 1.0f);
void strokeLine(Canvas& c, const std::vector<Vec2>& pts, double width, Color col, float opacity = 1.0f);
void fillCircle(Canvas& c, Vec2 centre, double r, Color col, float opacity = 1.0f);
void strokeCircle(Canvas& c, Vec2 centre, double r, double width, Color col, float opacity = 1.0f);

std::vector<Vec2> bezier(Vec2 a, Vec2 b, Vec2 c, Vec2 d, int steps);
std::vector<Vec2> circlePoints(Vec2 centre, double r, int steps, double a0 = 0, double a1 = 2 * M_PI);

// Text through FreeType. Sizes are in pixels (em height).
class Font {
public:
    explicit Font(const std::string& path);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    struct Style {
        double size = 64;
        double tracking = 0;      // extra advance per glyph, in em
        double jitter = 0;        // hand-lettered wobble: baseline shift in em and rotation
        std::uint32_t seed = 1;
        double slant = 0;         // shear of the glyphs
    };
    // Width of the text's advances in pixels.
    double measure(const std::string& text, const Style& style);
    // Draws with the baseline starting at (x, y). `colorOf(i)` gives the colour of glyph i.
    void draw(Canvas& c, const std::string& text, double x, double y, const Style& style,
              const std::function<Color(int)>& colorOf, float opacity = 1.0f);
    void draw(Canvas& c, const std::string& text, double x, double y, const Style& style, Color col,
              float opacity = 1.0f) {
        draw(c, text, x, y, style, [col](int) { return col; }, opacity);
    }
    void drawCentred(Canvas& c, const std::string& text, double cx, double y, const Style& style, Color col,
                     float opacity = 1.0f) {
        draw(c, text, cx - measure(text, style) / 2, y, style, col, opacity);
    }
    double ascender(double size) const;

private:
    struct Impl;
    Impl* impl_;
};

// Encoders. `channels` is 1 (grey), 3 (RGB) or 4 (RGBA).
void writeJpeg(const std::string& path, const std::uint8_t* pixels, int w, int h, int channels, int quality);
void writePng(const std::string& path, const std::uint8_t* pixels, int w, int h, int channels);

// Deterministic random numbers.
struct Rng {
    std::uint64_t s;
    explicit Rng(std::uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
    std::uint64_t next() {
        std::uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return (next() >> 11) * (1.0 / 9007199254740992.0); }
    double uniform(double a, double b) { return a + (b - a) * uniform(); }
};

}  // namespace pictures
