// The astronomical print, its perspective view and the winged figure.

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "noise.h"
#include "pictures.h"

namespace pictures {

namespace {

const Color kInk{0.95f, 0.95f, 0.93f};

void rect(Canvas& c, double x0, double y0, double x1, double y1, double width, Color col, float opacity = 1.0f) {
    strokeLine(c, {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}}, width, col, opacity);
}

void dashedCircle(Canvas& c, Vec2 o, double r, double width, int dashes) {
    for (int i = 0; i < dashes; ++i) {
        const double a0 = 2 * M_PI * i / dashes, a1 = a0 + 2 * M_PI / dashes * 0.55;
        strokeLine(c, circlePoints(o, r, 8, a0, a1), width, kInk);
    }
}

// A disc lit on one side: k = 1 dark, k = -1 full; the lit part is bounded by the limb and
// the terminator ellipse.
void phaseDisc(Canvas& c, Vec2 o, double r, double k) {
    strokeCircle(c, o, r, 1.4, kInk);
    std::vector<Vec2> pts;
    for (int i = 0; i <= 40; ++i) {
        const double a = -M_PI / 2 + M_PI * i / 40;
        pts.push_back({o.x + r * std::cos(a), o.y + r * std::sin(a)});
    }
    for (int i = 40; i >= 0; --i) {
        const double yy = -r + 2 * r * i / 40.0;
        pts.push_back({o.x + k * std::sqrt(std::max(0.0, r * r - yy * yy)), o.y + yy});
    }
    fillPolygon(c, pts, kInk, 0.92f);
}

void starField(Canvas& c, Rng& rng, int count, double x0, double y0, double x1, double y1, Vec2 avoid, double avoidR) {
    for (int i = 0; i < count; ++i) {
        const Vec2 p{rng.uniform(x0, x1), rng.uniform(y0, y1)};
        if (length(p - avoid) < avoidR) continue;
        const double r = 0.6 + std::pow(rng.uniform(), 6) * 3.2;
        fillCircle(c, p, r, kInk, static_cast<float>(0.5 + 0.5 * rng.uniform()));
        if (r > 2.6) {  // the brightest get engraved spikes
            strokeLine(c, {{p.x - r * 3, p.y}, {p.x + r * 3, p.y}}, 1.0, kInk, 0.8f);
            strokeLine(c, {{p.x, p.y - r * 3}, {p.x, p.y + r * 3}}, 1.0, kInk, 0.8f);
        }
    }
}

struct H {
    double m[9];
    Vec2 apply(Vec2 p) const {
        const double w = m[6] * p.x + m[7] * p.y + m[8];
        return {(m[0] * p.x + m[1] * p.y + m[2]) / w, (m[3] * p.x + m[4] * p.y + m[5]) / w};
    }
};

// The projective map taking the four points `from` to `to`.
H homography(const std::array<Vec2, 4>& from, const std::array<Vec2, 4>& to) {
    double a[8][9] = {};
    for (int i = 0; i < 4; ++i) {
        const double x = from[i].x, y = from[i].y, u = to[i].x, v = to[i].y;
        double r1[9] = {x, y, 1, 0, 0, 0, -u * x, -u * y, u};
        double r2[9] = {0, 0, 0, x, y, 1, -v * x, -v * y, v};
        std::copy(r1, r1 + 9, a[2 * i]);
        std::copy(r2, r2 + 9, a[2 * i + 1]);
    }
    for (int col = 0; col < 8; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 8; ++r)
            if (std::abs(a[r][col]) > std::abs(a[pivot][col])) pivot = r;
        std::swap(a[col], a[pivot]);
        for (int r = 0; r < 8; ++r) {
            if (r == col) continue;
            const double f = a[r][col] / a[col][col];
            for (int k = col; k < 9; ++k) a[r][k] -= f * a[col][k];
        }
    }
    H h;
    for (int i = 0; i < 8; ++i) h.m[i] = a[i][8] / a[i][i];
    h.m[8] = 1;
    return h;
}

}  // namespace

Canvas astronomicalPrint(Fonts& f) {
    Canvas c(kCardW, kCardH, {0, 0, 0});
    Rng rng(140);
    rect(c, 34, 34, kCardW - 34, kCardH - 34, 3.0, kInk);
    rect(c, 48, 48, kCardW - 48, kCardH - 48, 1.2, kInk);

    // Fig. I: the courses of the wanderers about the central fire.
    const Vec2 o{680, 590};
    starField(c, rng, 420, 60, 60, 1200, kCardH - 60, o, 480);
    strokeCircle(c, o, 470, 2.6, kInk);
    strokeCircle(c, o, 440, 1.2, kInk);
    strokeCircle(c, o, 400, 1.6, kInk);
    for (int deg = 0; deg < 360; ++deg) {
        const double a = deg * M_PI / 180;
        const double inner = deg % 10 == 0 ? 440 : deg % 5 == 0 ? 452 : 460;
        strokeLine(c, {o + Vec2{std::cos(a), std::sin(a)} * inner, o + Vec2{std::cos(a), std::sin(a)} * 470},
                   deg % 10 == 0 ? 1.4 : 0.9, kInk);
    }
    static const char* numerals[] = {"I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX", "X", "XI", "XII"};
    Font::Style numeral;
    numeral.size = 24;
    numeral.tracking = 0.05;
    for (int i = 0; i < 12; ++i) {
        const double a = (i * 30) * M_PI / 180;
        strokeLine(c, {o + Vec2{std::cos(a), std::sin(a)} * 400, o + Vec2{std::cos(a), std::sin(a)} * 440}, 1.2, kInk);
        const double m = a + 15 * M_PI / 180;
        const Vec2 p = o + Vec2{std::cos(m), std::sin(m)} * 420;
        f.serif.drawCentred(c, numerals[i], p.x, p.y + 8, numeral, kInk);
    }
    const double orbits[] = {78, 122, 170, 228, 292, 356};
    const double angles[] = {0.6, 2.3, 4.1, 5.3, 1.2, 3.5};
    const double sizes[] = {7, 11, 13, 9, 22, 17};
    for (int i = 0; i < 6; ++i) {
        if (i % 2) dashedCircle(c, o, orbits[i], 1.1, static_cast<int>(orbits[i] / 6));
        else strokeCircle(c, o, orbits[i], 1.1, kInk);
        const Vec2 p = o + Vec2{std::cos(angles[i]), std::sin(angles[i])} * orbits[i];
        fillCircle(c, p, sizes[i] + 3, {0, 0, 0});
        // The side away from the fire is left dark.
        const Vec2 away = normalize(p - o);
        fillCircle(c, p, sizes[i], kInk);
        fillCircle(c, p + away * (sizes[i] * 0.55), sizes[i] * 0.92, {0, 0, 0}, 0.85f);
        strokeCircle(c, p, sizes[i], 1.0, kInk);
        if (i == 3) {  // a wanderer with its own small moon
            strokeCircle(c, p, 30, 0.9, kInk);
            fillCircle(c, p + Vec2{std::cos(1.0), std::sin(1.0)} * 30, 3.5, kInk);
        }
        if (i == 4) {  // and one with a ring
            std::vector<Vec2> ring;
            for (int k = 0; k <= 64; ++k) {
                const double t = 2 * M_PI * k / 64;
                ring.push_back({p.x + 40 * std::cos(t), p.y + 11 * std::sin(t)});
            }
            strokeLine(c, ring, 1.6, kInk);
        }
    }
    // The central fire with straight and waved rays.
    fillCircle(c, o, 30, kInk);
    for (int i = 0; i < 32; ++i) {
        const double a = 2 * M_PI * i / 32;
        const Vec2 dir{std::cos(a), std::sin(a)}, side = perp(dir);
        std::vector<Vec2> ray;
        for (int k = 0; k <= 20; ++k) {
            const double t = k / 20.0, r = 38 + t * (i % 2 ? 20 : 30);
            ray.push_back(o + dir * r + side * (i % 2 ? std::sin(t * 3 * M_PI) * 3 : 0));
        }
        strokeLine(c, ray, i % 2 ? 1.1 : 1.6, kInk);
    }
    Font::Style capS;
    capS.size = 30;
    capS.tracking = 0.15;
    f.serif.drawCentred(c, "FIG. I.", o.x, 1130, capS, kInk);

    // Fig. II: the phases of the small moon.
    const double px0 = 1240, px1 = 1846;
    rect(c, px0, 80, px1, 430, 1.2, kInk);
    for (int i = 0; i < 8; ++i) {
        const Vec2 p{px0 + 78 + (i % 4) * 150.0, 170 + (i / 4) * 150.0};
        phaseDisc(c, p, 48, std::cos(M_PI * (i + 1) / 9.0));
    }
    Font::Style small;
    small.size = 22;
    small.tracking = 0.15;
    f.serif.drawCentred(c, "FIG. II.", (px0 + px1) / 2, 415, small, kInk);

    // Fig. III: a bearded star.
    rect(c, px0, 460, px1, 770, 1.2, kInk);
    starField(c, rng, 70, px0 + 10, 470, px1 - 10, 760, {0, 0}, 0);
    const Vec2 head{px0 + 470, 540};
    for (int i = 0; i < 46; ++i) {
        const double spread = (i - 23) / 23.0;
        const Vec2 end = head + Vec2{-390 + std::abs(spread) * 60, 170 + spread * 70};
        const Vec2 ctl = head + Vec2{-200, 60 + spread * 20};
        auto pts = bezier(head, ctl, lerp(ctl, end, 0.5), end, 40);
        std::vector<double> widths;
        for (size_t k = 0; k < pts.size(); ++k) widths.push_back(1.4 - 1.0 * k / pts.size());
        c.composite(strokeMask(pts, widths, c.width(), c.height()), kInk,
                    static_cast<float>(0.25 + 0.55 * (1 - std::abs(spread))));
    }
    fillCircle(c, head, 26, {0, 0, 0});
    fillCircle(c, head, 12, kInk);
    strokeCircle(c, head, 19, 1.0, kInk, 0.8f);
    f.serif.drawCentred(c, "FIG. III.", (px0 + px1) / 2, 755, small, kInk);

    // The caption.
    rect(c, px0, 800, px1, 1132, 1.2, kInk);
    Font::Style title;
    title.size = 40;
    title.tracking = 0.12;
    f.serif.drawCentred(c, "TABVLA TERTIA", (px0 + px1) / 2, 862, title, kInk);
    Font::Style sub;
    sub.size = 32;
    f.serifItalic.drawCentred(c, "Systema Orbium Lucentium", (px0 + px1) / 2, 906, sub, kInk);
    strokeLine(c, {{px0 + 200, 928}, {px1 - 200, 928}}, 1.0, kInk);
    Font::Style body;
    body.size = 21;
    const char* lines[] = {
        "Fig. I. The six wandering lights in their courses about",
        "the central fire, with the circle of twelve houses.",
        "Fig. II. The changing face of the small moon in one month.",
        "Fig. III. A bearded star, as it passed in the autumn.",
        "Drawn from nightly observation and engraved",
        "for the instruction of the curious.",
    };
    double y = 966;
    for (int i = 0; i < 6; ++i) {
        (i < 4 ? f.serif : f.serifItalic).drawCentred(c, lines[i], (px0 + px1) / 2, y, body, kInk);
        y += i == 3 ? 40 : 30;
    }

    // Worn ink: the white is uneven like an old impression.
    Canvas out(kCardW, kCardH);
    out.shade([&](int x, int yy) {
        const Color v = c.get(x, yy);
        const double wear = 0.86 + 0.14 * fbm2(x / 9.0, yy / 9.0, 3, 141);
        const double speck = (hash3(x, yy, 3, 140) & 1023) < 2 ? 0.5 : 0.0;
        return v * static_cast<float>(wear) + grey(static_cast<float>(speck * 0.3));
    });
    return out;
}

Canvas printInPerspective(const Canvas& print) {
    Canvas c(kCardW, kCardH, {0, 0, 0});
    // The print lies tilted away from the viewer, a little turned.
    const std::array<Vec2, 4> dst = {Vec2{520, 170}, Vec2{1500, 235}, Vec2{1870, 1130}, Vec2{40, 1010}};
    const std::array<Vec2, 4> src = {Vec2{0, 0}, Vec2{1.0 * print.width(), 0},
                                     Vec2{1.0 * print.width(), 1.0 * print.height()}, Vec2{0, 1.0 * print.height()}};
    const H toPrint = homography(dst, src);
    c.shade([&](int x, int y) {
        Color sum;
        // Four samples per pixel: the far edge is squeezed and would shimmer otherwise.
        for (int s = 0; s < 4; ++s) {
            const Vec2 p = toPrint.apply({x + 0.25 + 0.5 * (s % 2), y + 0.25 + 0.5 * (s / 2)});
            if (p.x >= 0 && p.y >= 0 && p.x < print.width() && p.y < print.height()) sum = sum + print.sample(p.x, p.y);
        }
        const double fade = 0.45 + 0.55 * smoothstep(150, 1100, y);
        return sum * static_cast<float>(0.25 * fade);
    });
    return c;
}

Canvas wingedFigure() {
    const int w = 1600, h = 900;
    Canvas c(w, h);
    c.shade([&](int x, int y) {
        const double dx = (x - 800) / 800.0, dy = (y - 380) / 600.0;
        const double v = 0.87 - 0.05 * (dx * dx + dy * dy) + 0.012 * fbm2(x / 3.0, y / 3.0, 2, 129);
        return grey(static_cast<float>(v));
    });
    const Color ink{0.17f, 0.17f, 0.18f}, edge{0.46f, 0.46f, 0.47f};

    // Faint rays behind the figure.
    for (int i = 0; i < 48; ++i) {
        const double a = M_PI * (i + 0.5) / 48 + M_PI;
        const Vec2 o{800, 330};
        strokeLine(c, {o + Vec2{std::cos(a), std::sin(a)} * 120, o + Vec2{std::cos(a), std::sin(a)} * 900}, 2.2,
                   {0.80f, 0.80f, 0.80f}, 0.5f);
    }
    // Its shadow on the ground.
    {
        std::vector<Vec2> shadow;
        for (int k = 0; k < 90; ++k) {
            const double t = 2 * M_PI * k / 90;
            shadow.push_back({800 + 260 * std::cos(t), 812 + 26 * std::sin(t)});
        }
        fillPolygon(c, shadow, {0.70f, 0.70f, 0.71f}, 0.6f);
    }

    Rng rng(1290);
    auto feather = [&](Vec2 root, double angle, double len, double width, double curl) {
        const Vec2 dir{std::cos(angle), std::sin(angle)}, side = perp(dir);
        std::vector<Vec2> spine;
        const int n = 24;
        for (int i = 0; i <= n; ++i) {
            const double t = static_cast<double>(i) / n;
            spine.push_back(root + dir * (len * t) + side * (curl * len * t * t));
        }
        std::vector<Vec2> left, right;
        for (int i = 0; i <= n; ++i) {
            const double t = static_cast<double>(i) / n;
            const double wdt = width * std::pow(std::sin(M_PI * std::min(1.0, t * 0.85 + 0.08)), 0.7) * (1 - 0.3 * t);
            const Vec2 tangent = normalize(i < n ? spine[i + 1] - spine[i] : spine[i] - spine[i - 1]);
            left.push_back(spine[i] + perp(tangent) * (wdt * 0.45));
            right.push_back(spine[i] - perp(tangent) * (wdt * 0.55));
        }
        std::vector<Vec2> outline = left;
        outline.insert(outline.end(), right.rbegin(), right.rend());
        fillPolygon(c, outline, ink);
        auto closed = outline;
        closed.push_back(outline.front());
        strokeLine(c, closed, 1.3, edge, 0.9f);
        std::vector<Vec2> shaft(spine.begin(), spine.begin() + n * 4 / 5);
        strokeLine(c, shaft, 1.1, edge, 0.8f);
        // Barbs: a few fine lines leaving the shaft.
        for (int i = 4; i < n * 4 / 5; i += 3) {
            const Vec2 p = spine[i];
            const Vec2 tangent = normalize(spine[i + 1] - spine[i]);
            const Vec2 out = normalize(tangent + perp(tangent) * 1.2);
            strokeLine(c, {p, p + out * (width * 0.35)}, 0.7, edge, 0.55f);
        }
    };

    for (int sideSign : {-1, 1}) {
        auto X = [&](Vec2 p) { return Vec2{800 + sideSign * (p.x - 800), p.y}; };
        // The arm of the wing: shoulder, wrist, tip (drawn for the right wing, mirrored).
        const Vec2 shoulder{835, 330}, c1{950, 210}, c2{1100, 130}, tip{1370, 95};
        auto arm = [&](double s) {
            const double u = 1 - s;
            return shoulder * (u * u * u) + c1 * (3 * u * u * s) + c2 * (3 * u * s * s) + tip * (s * s * s);
        };
        struct Row {
            int count;
            double lenBase, lenGain, width, start;
        };
        const Row rows[] = {{30, 280, 200, 44, 0.02}, {24, 160, 100, 38, 0.0}, {18, 75, 45, 28, 0.0}};
        for (int r = 0; r < 3; ++r) {
            const Row& row = rows[r];
            for (int i = row.count - 1; i >= 0; --i) {
                const double s = row.start + (1 - row.start) * i / (row.count - 1) * (r == 0 ? 1.0 : r == 1 ? 0.85 : 0.7);
                const Vec2 root = arm(s) + Vec2{0, r * 18.0};
                // Hanging down near the body, sweeping outwards towards the tip.
                const double angle = M_PI / 2 - s * (r == 0 ? 1.55 : 1.2) + rng.uniform(-0.04, 0.04);
                const double len = (row.lenBase + row.lenGain * s) * (1 - 0.35 * s * s) * rng.uniform(0.95, 1.05);
                const double a = sideSign > 0 ? angle : M_PI - angle;
                Vec2 rootX = X(root);
                feather(rootX, a, len, row.width * (1 - 0.3 * s), -0.08 * sideSign);
            }
        }
        // The leading edge of the wing, a soft thick line.
        std::vector<Vec2> edgeLine;
        for (int k = 0; k <= 60; ++k) edgeLine.push_back(X(arm(k / 60.0)));
        std::vector<double> widths;
        for (int k = 0; k <= 60; ++k) widths.push_back(22 * (1 - k / 60.0) + 4);
        c.composite(strokeMask(edgeLine, widths, w, h), ink);
    }

    // The robed body.
    std::vector<Vec2> robe;
    auto leftSide = bezier({770, 310}, {735, 480}, {690, 650}, {640, 805}, 30);
    auto rightSide = bezier({830, 310}, {865, 480}, {910, 650}, {960, 805}, 30);
    robe = leftSide;
    auto hem = bezier({640, 805}, {720, 822}, {880, 790}, {960, 805}, 30);
    robe.insert(robe.end(), hem.begin(), hem.end());
    robe.insert(robe.end(), rightSide.rbegin(), rightSide.rend());
    fillPolygon(c, robe, ink);
    // Folds of the cloth.
    for (int i = 0; i < 7; ++i) {
        const double t = (i + 1) / 8.0;
        const Vec2 top{790 + 20 * t, 360 + 30 * std::abs(t - 0.5)};
        const Vec2 bottom{660 + 290 * t, 800 - 6 * std::sin(t * 9)};
        strokeLine(c, bezier(top, top + Vec2{-12, 160}, bottom + Vec2{10, -200}, bottom, 40), 1.3, edge, 0.75f);
    }
    // Head with a thin ring behind it, and the neck.
    strokeCircle(c, {800, 238}, 64, 2.0, ink, 0.8f);
    fillPolygon(c, {{785, 260}, {815, 260}, {822, 318}, {778, 318}}, ink);
    fillCircle(c, {800, 238}, 40, ink);
    strokeCircle(c, {800, 238}, 40, 1.2, edge, 0.7f);

    // Loose feathers falling.
    const Vec2 loose[] = {{420, 700}, {1230, 640}, {1090, 790}};
    const double turn[] = {0.5, 2.3, -0.4};
    for (int i = 0; i < 3; ++i) feather(loose[i], turn[i], 90, 22, 0.1);
    return c;
}

}  // namespace pictures
