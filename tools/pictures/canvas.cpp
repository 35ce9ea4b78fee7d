#include "canvas.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>
#include <turbojpeg.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <stdexcept>
#include <thread>

namespace pictures {

Canvas::Canvas(int w, int h, Color fill) : w_(w), h_(h), px_(static_cast<size_t>(w) * h * 3) {
    for (size_t i = 0; i < px_.size(); i += 3) px_[i] = fill.r, px_[i + 1] = fill.g, px_[i + 2] = fill.b;
}

Color Canvas::sample(double x, double y, Color outside) const {
    x -= 0.5, y -= 0.5;
    const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    const float fx = static_cast<float>(x - ix), fy = static_cast<float>(y - iy);
    auto at = [&](int px, int py) { return (px < 0 || py < 0 || px >= w_ || py >= h_) ? outside : get(px, py); };
    Color top = mix(at(ix, iy), at(ix + 1, iy), fx);
    Color bottom = mix(at(ix, iy + 1), at(ix + 1, iy + 1), fx);
    return mix(top, bottom, fy);
}

void Canvas::composite(const Mask& m, Color c, float opacity) {
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            const float a = m.a[static_cast<size_t>(y) * m.w + x];
            if (a > 0) blend(m.x0 + x, m.y0 + y, c, a * opacity);
        }
}

void parallelRows(int height, const std::function<void(int)>& row) {
    const int threads = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&, t] {
            for (int y = t; y < height; y += threads) row(y);
        });
    for (auto& th : pool) th.join();
}

void Canvas::shade(const std::function<Color(int, int)>& f) {
    parallelRows(h_, [&](int y) {
        for (int x = 0; x < w_; ++x) set(x, y, f(x, y));
    });
}

std::vector<std::uint8_t> Canvas::toBytes(int channels) const {
    std::vector<std::uint8_t> out(static_cast<size_t>(w_) * h_ * channels);
    auto q = [](float v) { return static_cast<std::uint8_t>(std::lround(clamp01(v) * 255.0f)); };
    for (size_t i = 0, n = static_cast<size_t>(w_) * h_; i < n; ++i) {
        const float* p = &px_[i * 3];
        if (channels == 1) {
            out[i] = q(0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2]);
        } else {
            out[i * 3] = q(p[0]), out[i * 3 + 1] = q(p[1]), out[i * 3 + 2] = q(p[2]);
        }
    }
    return out;
}

Mask polygonMask(const std::vector<Vec2>& pts, int canvasW, int canvasH) {
    Mask m;
    if (pts.size() < 3) return m;
    double minX = 1e30, minY = 1e30, maxX = -1e30, maxY = -1e30;
    for (auto p : pts) minX = std::min(minX, p.x), maxX = std::max(maxX, p.x), minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    m.x0 = std::max(0, static_cast<int>(std::floor(minX)));
    m.y0 = std::max(0, static_cast<int>(std::floor(minY)));
    const int x1 = std::min(canvasW, static_cast<int>(std::ceil(maxX)) + 1);
    const int y1 = std::min(canvasH, static_cast<int>(std::ceil(maxY)) + 1);
    if (x1 <= m.x0 || y1 <= m.y0) return m;
    m.w = x1 - m.x0, m.h = y1 - m.y0;
    m.a.assign(static_cast<size_t>(m.w) * m.h, 0.0f);

    constexpr int kSub = 5;
    std::vector<std::pair<double, int>> xs;
    for (int y = m.y0; y < y1; ++y) {
        for (int s = 0; s < kSub; ++s) {
            const double sy = y + (s + 0.5) / kSub;
            xs.clear();
            for (size_t i = 0; i < pts.size(); ++i) {
                Vec2 a = pts[i], b = pts[(i + 1) % pts.size()];
                if ((a.y <= sy) == (b.y <= sy)) continue;
                const double t = (sy - a.y) / (b.y - a.y);
                xs.push_back({a.x + (b.x - a.x) * t, b.y > a.y ? 1 : -1});
            }
            std::sort(xs.begin(), xs.end());
            int winding = 0;
            for (size_t i = 0; i + 1 < xs.size(); ++i) {
                winding += xs[i].second;
                if (winding == 0) continue;
                const double xa = std::max<double>(xs[i].first, m.x0), xb = std::min<double>(xs[i + 1].first, x1);
                if (xb <= xa) continue;
                float* row = &m.a[static_cast<size_t>(y - m.y0) * m.w];
                for (int px = static_cast<int>(std::floor(xa)); px < std::ceil(xb) && px < x1; ++px) {
                    const double cover = std::min<double>(xb, px + 1) - std::max<double>(xa, px);
                    if (cover > 0) row[px - m.x0] += static_cast<float>(cover / kSub);
                }
            }
        }
    }
    for (auto& v : m.a) v = std::min(v, 1.0f);
    return m;
}

Mask strokeMask(const std::vector<Vec2>& pts, const std::vector<double>& widths, int canvasW, int canvasH) {
    Mask m;
    if (pts.empty()) return m;
    double maxW = 0;
    for (double w : widths) maxW = std::max(maxW, w);
    double minX = 1e30, minY = 1e30, maxX = -1e30, maxY = -1e30;
    for (auto p : pts) minX = std::min(minX, p.x), maxX = std::max(maxX, p.x), minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    const double pad = maxW / 2 + 2;
    m.x0 = std::max(0, static_cast<int>(std::floor(minX - pad)));
    m.y0 = std::max(0, static_cast<int>(std::floor(minY - pad)));
    const int x1 = std::min(canvasW, static_cast<int>(std::ceil(maxX + pad)));
    const int y1 = std::min(canvasH, static_cast<int>(std::ceil(maxY + pad)));
    if (x1 <= m.x0 || y1 <= m.y0) return m;
    m.w = x1 - m.x0, m.h = y1 - m.y0;
    m.a.assign(static_cast<size_t>(m.w) * m.h, 0.0f);
    auto widthAt = [&](size_t i) { return widths.size() == 1 ? widths[0] : widths[std::min(i, widths.size() - 1)]; };
    const size_t segments = pts.size() == 1 ? 1 : pts.size() - 1;
    for (size_t i = 0; i < segments; ++i) {
        Vec2 a = pts[i], b = pts.size() == 1 ? pts[0] : pts[i + 1];
        const double wa = widthAt(i), wb = widthAt(i + 1);
        const double r = std::max(wa, wb) / 2 + 1.5;
        const int bx0 = std::max(m.x0, static_cast<int>(std::floor(std::min(a.x, b.x) - r)));
        const int bx1 = std::min(x1, static_cast<int>(std::ceil(std::max(a.x, b.x) + r)));
        const int by0 = std::max(m.y0, static_cast<int>(std::floor(std::min(a.y, b.y) - r)));
        const int by1 = std::min(y1, static_cast<int>(std::ceil(std::max(a.y, b.y) + r)));
        const Vec2 ab = b - a;
        const double len2 = std::max(1e-12, dot(ab, ab));
        for (int y = by0; y < by1; ++y)
            for (int x = bx0; x < bx1; ++x) {
                const Vec2 p{x + 0.5, y + 0.5};
                const double t = clamp01(dot(p - a, ab) / len2);
                const double d = length(p - (a + ab * t));
                const double w = wa + (wb - wa) * t;
                // Lines thinner than a pixel keep a pixel's width and fade instead.
                const double half = std::max(w, 1.0) / 2, fade = std::min(w, 1.0);
                const float cover = static_cast<float>(clamp01(half - d + 0.5) * fade);
                float& v = m.at(x - m.x0, y - m.y0);
                v = std::max(v, cover);
            }
    }
    return m;
}

Mask strokeMask(const std::vector<Vec2>& pts, double width, int canvasW, int canvasH) {
    return strokeMask(pts, std::vector<double>{width}, canvasW, canvasH);
}

void fillPolygon(Canvas& c, const std::vector<Vec2>& pts, Color col, float opacity) {
    c.composite(polygonMask(pts, c.width(), c.height()), col, opacity);
}
void strokeLine(Canvas& c, const std::vector<Vec2>& pts, double width, Color col, float opacity) {
    c.composite(strokeMask(pts, width, c.width(), c.height()), col, opacity);
}
void fillCircle(Canvas& c, Vec2 centre, double r, Color col, float opacity) {
    fillPolygon(c, circlePoints(centre, r, std::max(12, static_cast<int>(r * 1.5))), col, opacity);
}
void strokeCircle(Canvas& c, Vec2 centre, double r, double width, Color col, float opacity) {
    auto pts = circlePoints(centre, r, std::max(24, static_cast<int>(r * 1.2)));
    pts.push_back(pts.front());
    strokeLine(c, pts, width, col, opacity);
}

std::vector<Vec2> bezier(Vec2 a, Vec2 b, Vec2 c, Vec2 d, int steps) {
    std::vector<Vec2> out;
    for (int i = 0; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps, u = 1 - t;
        out.push_back(a * (u * u * u) + b * (3 * u * u * t) + c * (3 * u * t * t) + d * (t * t * t));
    }
    return out;
}

std::vector<Vec2> circlePoints(Vec2 centre, double r, int steps, double a0, double a1) {
    std::vector<Vec2> out;
    const bool full = std::abs(a1 - a0 - 2 * M_PI) < 1e-9;
    const int n = full ? steps : steps + 1;
    for (int i = 0; i < n; ++i) {
        const double a = a0 + (a1 - a0) * i / steps;
        out.push_back({centre.x + r * std::cos(a), centre.y + r * std::sin(a)});
    }
    return out;
}

// ---- text -------------------------------------------------------------------------------

namespace {

std::vector<std::uint32_t> decodeUtf8(const std::string& s) {
    std::vector<std::uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        std::uint32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
        for (int k = 1; k <= extra && i + k < s.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(cp);
        i += extra + 1;
    }
    return out;
}

}  // namespace

struct Font::Impl {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
};

Font::Font(const std::string& path) : impl_(new Impl) {
    if (FT_Init_FreeType(&impl_->lib) || FT_New_Face(impl_->lib, path.c_str(), 0, &impl_->face))
        throw std::runtime_error("cannot open font " + path);
}

Font::~Font() {
    if (impl_->face) FT_Done_Face(impl_->face);
    if (impl_->lib) FT_Done_FreeType(impl_->lib);
    delete impl_;
}

double Font::ascender(double size) const {
    return impl_->face->ascender * size / impl_->face->units_per_EM;
}

double Font::measure(const std::string& text, const Style& style) {
    FT_Face face = impl_->face;
    FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(style.size * 64), 72, 72);
    FT_Set_Transform(face, nullptr, nullptr);
    double x = 0;
    FT_UInt prev = 0;
    for (std::uint32_t cp : decodeUtf8(text)) {
        const FT_UInt gi = FT_Get_Char_Index(face, cp);
        if (prev && gi) {
            FT_Vector k;
            if (!FT_Get_Kerning(face, prev, gi, FT_KERNING_UNFITTED, &k)) x += k.x / 64.0;
        }
        if (!FT_Load_Glyph(face, gi, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP)) x += face->glyph->linearHoriAdvance / 65536.0;
        x += style.tracking * style.size;
        prev = gi;
    }
    return x - style.tracking * style.size;
}

void Font::draw(Canvas& c, const std::string& text, double x, double y, const Style& style,
                const std::function<Color(int)>& colorOf, float opacity) {
    FT_Face face = impl_->face;
    FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(style.size * 64), 72, 72);
    Rng rng(style.seed);
    FT_UInt prev = 0;
    int index = 0;
    double penX = x;
    for (std::uint32_t cp : decodeUtf8(text)) {
        const FT_UInt gi = FT_Get_Char_Index(face, cp);
        if (prev && gi) {
            FT_Vector k;
            if (!FT_Get_Kerning(face, prev, gi, FT_KERNING_UNFITTED, &k)) penX += k.x / 64.0;
        }
        double angle = 0, lift = 0;
        if (style.jitter > 0) {
            angle = (rng.uniform() - 0.5) * style.jitter * 0.6;
            lift = (rng.uniform() - 0.5) * style.jitter * style.size;
        }
        FT_Matrix m;
        const double ca = std::cos(angle), sa = std::sin(angle);
        m.xx = static_cast<FT_Fixed>(ca * 65536), m.xy = static_cast<FT_Fixed>((-sa + style.slant * ca) * 65536);
        m.yx = static_cast<FT_Fixed>(sa * 65536), m.yy = static_cast<FT_Fixed>((ca + style.slant * sa) * 65536);
        const double fx = penX - std::floor(penX), fy = (y - lift) - std::floor(y - lift);
        FT_Vector delta{static_cast<FT_Pos>(fx * 64), static_cast<FT_Pos>(-fy * 64)};
        FT_Set_Transform(face, &m, &delta);
        if (!FT_Load_Glyph(face, gi, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP | FT_LOAD_RENDER)) {
            const FT_GlyphSlot g = face->glyph;
            const FT_Bitmap& bm = g->bitmap;
            const int ox = static_cast<int>(std::floor(penX)) + g->bitmap_left;
            const int oy = static_cast<int>(std::floor(y - lift)) - g->bitmap_top;
            const Color col = colorOf(index);
            for (unsigned row = 0; row < bm.rows; ++row)
                for (unsigned col_ = 0; col_ < bm.width; ++col_) {
                    const std::uint8_t v = bm.buffer[row * bm.pitch + col_];
                    if (v) c.blend(ox + static_cast<int>(col_), oy + static_cast<int>(row), col, v / 255.0f * opacity);
                }
            penX += g->linearHoriAdvance / 65536.0;
        }
        penX += style.tracking * style.size;
        prev = gi;
        if (cp != ' ') ++index;
    }
    FT_Set_Transform(face, nullptr, nullptr);
}

// ---- encoders ---------------------------------------------------------------------------

void writeJpeg(const std::string& path, const std::uint8_t* pixels, int w, int h, int channels, int quality) {
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int format = channels == 1 ? TJPF_GRAY : TJPF_RGB;
    const int sub = channels == 1 ? TJSAMP_GRAY : TJSAMP_444;
    // Flags 0: baseline (sequential) Huffman coding, 8-bit samples.
    if (tjCompress2(tj, pixels, w, 0, h, format, &out, &size, sub, quality, TJFLAG_ACCURATEDCT) != 0)
        throw std::runtime_error(std::string("JPEG encoding failed: ") + tjGetErrorStr2(tj));
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(out, 1, size, f) != size) throw std::runtime_error("cannot write " + path);
    std::fclose(f);
    tjFree(out);
    tjDestroy(tj);
}

void writePng(const std::string& path, const std::uint8_t* pixels, int w, int h, int channels) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        throw std::runtime_error("PNG encoding failed: " + path);
    }
    png_init_io(png, f);
    const int type = channels == 4 ? PNG_COLOR_TYPE_RGBA : channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY;
    png_set_IHDR(png, info, w, h, 8, type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h; ++y) png_write_row(png, pixels + static_cast<size_t>(y) * w * channels);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

}  // namespace pictures
