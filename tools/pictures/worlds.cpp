// Planet and moon maps, the cloud-tops photograph and the spare evening picture.

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "noise.h"
#include "pictures.h"

namespace pictures {

namespace {

struct V3 {
    double x, y, z;
};
inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator*(V3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline V3 norm(V3 a) { return a * (1.0 / std::sqrt(dot(a, a))); }

// Unit vector of an equirectangular pixel: x runs east from longitude -180, y south from +90.
V3 sphereDir(int x, int y, int w, int h, double* latOut = nullptr) {
    const double lon = (x + 0.5) / w * 2 * M_PI - M_PI;
    const double lat = M_PI / 2 - (y + 0.5) / h * M_PI;
    if (latOut) *latOut = lat;
    return {std::cos(lat) * std::cos(lon), std::sin(lat), std::cos(lat) * std::sin(lon)};
}

Color rgb(double r, double g, double b) { return {static_cast<float>(r), static_cast<float>(g), static_cast<float>(b)}; }

double grain(int x, int y, std::uint32_t seed) { return (hash3(x, y, 7, seed) & 0xFFFF) / 65535.0 - 0.5; }

}  // namespace

Canvas planetMap() {
    const int w = 600, h = 300;
    Canvas c(w, h);
    c.shade([&](int x, int y) {
        double lat;
        const V3 p = sphereDir(x, y, w, h, &lat);
        const double alat = std::abs(lat) * 180 / M_PI;
        // Continents: warped fractal height, a little less than half of the surface above sea.
        const V3 q = p * 1.7;
        const V3 warp{fbm3(q.x + 3.1, q.y, q.z, 4, 11), fbm3(q.x, q.y + 7.7, q.z, 4, 12), fbm3(q.x, q.y, q.z + 1.9, 4, 13)};
        const V3 r = q + warp * 0.9;
        const double e = fbm3(r.x, r.y, r.z, 8, 21) - 0.06;
        const double moist = fbm3(p.x * 3 + 9, p.y * 3, p.z * 3, 5, 31);
        Color ground;
        if (e < 0) {
            const double depth = clamp01(-e * 5);
            ground = mix(rgb(0.07, 0.27, 0.42), rgb(0.015, 0.06, 0.19), static_cast<float>(std::sqrt(depth)));
        } else {
            // Dry belts near 25 degrees, green near the equator and in the middle latitudes.
            const double dry = clamp01(0.55 * std::exp(-std::pow((alat - 24) / 11, 2)) - moist * 1.2 + 0.15);
            Color green = mix(rgb(0.10, 0.26, 0.08), rgb(0.23, 0.33, 0.13), static_cast<float>(clamp01(moist + 0.5)));
            Color desert = rgb(0.70, 0.58, 0.38);
            Color tundra = rgb(0.40, 0.39, 0.31);
            ground = mix(green, desert, static_cast<float>(smoothstep(0.25, 0.6, dry)));
            ground = mix(ground, tundra, static_cast<float>(smoothstep(50, 64, alat + moist * 10)));
            ground = mix(ground, rgb(0.45, 0.40, 0.36), static_cast<float>(smoothstep(0.22, 0.36, e)));
            ground = ground * static_cast<float>(0.85 + 0.3 * fbm3(p.x * 20, p.y * 20, p.z * 20, 3, 41));
        }
        // Ice caps with ragged edges.
        const double ice = smoothstep(72, 77, alat + fbm3(p.x * 6, p.y * 6, p.z * 6, 4, 51) * 14 + (e > 0 ? 4 : 0));
        ground = mix(ground, rgb(0.90, 0.93, 0.96), static_cast<float>(ice));
        // Clouds: swirls from warped noise, storm belts in the middle latitudes, streaks at the equator.
        const V3 cq = p * 3.2;
        const V3 cw{fbm3(cq.x, cq.y, cq.z, 3, 61), fbm3(cq.x + 5, cq.y, cq.z, 3, 62), fbm3(cq.x, cq.y + 5, cq.z, 3, 63)};
        const V3 cr = cq + cw * 1.4;
        double cloud = fbm3(cr.x, cr.y * 1.6, cr.z, 6, 71) + 0.12 * std::cos(lat * 5.5) - 0.02;
        cloud += 0.1 * std::exp(-std::pow(alat / 6, 2)) * fbm3(p.x * 12, p.y * 3, p.z * 12, 3, 81);
        const double cover = smoothstep(0.08, 0.36, cloud);
        return mix(ground, rgb(0.97, 0.97, 0.98), static_cast<float>(cover * 0.92));
    });
    return c;
}

Canvas moonMap() {
    const int w = 2048, h = 1024;
    std::vector<V3> dirs(static_cast<size_t>(w) * h);
    std::vector<float> height(dirs.size(), 0.0f), albedo(dirs.size());
    parallelRows(h, [&](int y) {
        for (int x = 0; x < w; ++x) {
            const V3 p = sphereDir(x, y, w, h);
            dirs[static_cast<size_t>(y) * w + x] = p;
            const double hills = fbm3(p.x * 6, p.y * 6, p.z * 6, 7, 101);
            height[static_cast<size_t>(y) * w + x] = static_cast<float>(hills * 0.02);
            // Dark plains: large smooth basins of low albedo.
            const double mare = smoothstep(0.05, 0.2, fbm3(p.x * 1.3 + 4, p.y * 1.3, p.z * 1.3, 4, 111));
            albedo[static_cast<size_t>(y) * w + x] =
                static_cast<float>(0.62 - 0.26 * mare + 0.06 * fbm3(p.x * 25, p.y * 25, p.z * 25, 4, 121));
        }
    });

    // Craters: sizes in a steep power law, big ones rare. Each adds a bowl, a raised rim, a
    // central peak when large, and bright ejecta when young.
    Rng rng(144);
    const int count = 5200;
    const double pixelAngle = M_PI / h;
    for (int i = 0; i < count; ++i) {
        const double u = rng.uniform(), v = rng.uniform();
        const double lon = u * 2 * M_PI - M_PI, lat = std::asin(2 * v - 1);
        const V3 centre{std::cos(lat) * std::cos(lon), std::sin(lat), std::cos(lat) * std::sin(lon)};
        const double radius = 0.0035 * std::pow(1 - rng.uniform() * 0.9995, -0.75);  // radians
        const double r = std::min(radius, 0.22);
        const double depth = 0.05 * std::pow(r / 0.02, 0.45);
        const bool young = rng.uniform() < 0.08;
        const double cosReach = std::cos(r * (young ? 3.5 : 2.0));
        const double latSpan = r * (young ? 3.5 : 2.0);
        const int y0 = std::max(0, static_cast<int>((M_PI / 2 - (lat + latSpan)) / pixelAngle) - 1);
        const int y1 = std::min(h - 1, static_cast<int>((M_PI / 2 - (lat - latSpan)) / pixelAngle) + 1);
        const double coslat = std::cos(std::min(M_PI / 2 - 1e-3, std::abs(lat) + latSpan));
        const double lonSpan = coslat > 1e-3 ? latSpan / coslat : M_PI;
        int xs = static_cast<int>((lon - lonSpan + M_PI) / (2 * M_PI) * w) - 1;
        int xe = static_cast<int>((lon + lonSpan + M_PI) / (2 * M_PI) * w) + 1;
        if (xe - xs >= w) xs = 0, xe = w - 1;
        for (int y = y0; y <= y1; ++y)
            for (int xx = xs; xx <= xe; ++xx) {
                const int x = ((xx % w) + w) % w;
                const size_t k = static_cast<size_t>(y) * w + x;
                const double cd = dot(dirs[k], centre);
                if (cd < cosReach) continue;
                const double d = std::acos(std::min(1.0, cd)) / r;
                // Everything outside the bowl fades to nothing before the reach, leaving no seam.
                const double reach = young ? 3.5 : 2.0;
                const double fadeOut = smoothstep(reach, reach * 0.65, d);
                double dh = 0;
                if (d < 1) dh = -depth * (1 - d * d) * (1 - d * d);  // level and flat where it meets the rim
                dh += depth * 0.4 * std::exp(-std::pow((d - 1) / 0.24, 2));
                if (r > 0.03 && d < 0.25) dh += depth * 0.5 * (1 - d / 0.25);
                height[k] += static_cast<float>(dh);
                if (young) {
                    // A bright floor, and streaky rays of fresh material around it.
                    const V3 t = dirs[k] - centre;
                    const double streak = 0.5 + 0.5 * noise3(t.x * 90, t.y * 90, t.z * 90, i);
                    albedo[k] += static_cast<float>(0.12 * smoothstep(1.0, 0.8, d) +
                                                    0.22 * std::exp(-std::max(0.0, d - 0.9) * 1.3) * streak * streak *
                                                        fadeOut * smoothstep(0.75, 1.0, d));
                }
            }
    }

    // Relief light from the west and a little from the north, as on a shaded map.
    Canvas c(w, h);
    const double lx = -0.7, ly = -0.45;
    c.shade([&](int x, int y) {
        const size_t k = static_cast<size_t>(y) * w + x;
        const double coslat = std::max(0.05, std::cos(M_PI / 2 - (y + 0.5) / h * M_PI));
        const double hxp = height[static_cast<size_t>(y) * w + (x + 1) % w];
        const double hxm = height[static_cast<size_t>(y) * w + (x + w - 1) % w];
        const double hyp = height[static_cast<size_t>(std::min(h - 1, y + 1)) * w + x];
        const double hym = height[static_cast<size_t>(std::max(0, y - 1)) * w + x];
        const double gx = (hxp - hxm) / (2 * pixelAngle * coslat), gy = (hyp - hym) / (2 * pixelAngle);
        const double shade = clamp01(0.78 - 0.55 * (gx * lx + gy * ly) / std::sqrt(1 + gx * gx + gy * gy));
        const double v = clamp01(albedo[k] * (0.45 + 0.75 * shade) + grain(x, y, 144) * 0.015);
        return grey(static_cast<float>(v));
    });
    return c;
}

Canvas cloudTops() {
    const int w = 3027, h = 2010;
    const double R = 6371, altitude = 380, cloudTop = R + 9;
    const V3 cam{0, R + altitude, 0};
    const double dip = std::acos(cloudTop / (R + altitude));
    const double fov = 42 * M_PI / 180, tanHalf = std::tan(fov / 2);
    const double pitch = dip + std::atan(0.075 * tanHalf), roll = 2.6 * M_PI / 180;
    const V3 fwd{0, -std::sin(pitch), std::cos(pitch)};
    const V3 up0{0, std::cos(pitch), std::sin(pitch)}, right0{1, 0, 0};
    const V3 right = right0 * std::cos(roll) + up0 * std::sin(roll);
    const V3 up = up0 * std::cos(roll) - right0 * std::sin(roll);
    const V3 sun = norm(V3{-0.8, 0.22, 0.55});

    // The crescent moon: high in the black sky, lit from the sun's side.
    const double moonX = w * 0.74, moonY = h * 0.17, moonR = 62;
    const V3 moonSun = norm(V3{-0.95, 0.2, -0.32});

    Canvas c(w, h);
    c.shade([&](int x, int y) {
        const double u = (x + 0.5 - w / 2.0) / (h / 2.0) * tanHalf;
        const double v = -(y + 0.5 - h / 2.0) / (h / 2.0) * tanHalf;
        const V3 dir = norm(fwd + right * u + up * v);
        // Ray against the sphere of the cloud tops.
        const double b = dot(cam, dir), cc = dot(cam, cam) - cloudTop * cloudTop;
        const double disc = b * b - cc;
        Color out;
        if (disc > 0 && -b - std::sqrt(disc) > 0) {
            const double t = -b - std::sqrt(disc);
            const V3 p = cam + dir * t;
            const V3 n = norm(p);
            // Fewer octaves far away, where a pixel covers many kilometres.
            const double footprint = t * (2 * tanHalf / h);
            const int octaves = std::clamp(static_cast<int>(9 - std::log2(std::max(1.0, footprint / 0.12))), 2, 9);
            const V3 q = p * (1.0 / 38.0);
            const V3 wq{fbm3(q.x, q.y, q.z, 3, 201), fbm3(q.x + 11, q.y, q.z, 3, 202), fbm3(q.x, q.y, q.z + 17, 3, 203)};
            auto density = [&](V3 s) {
                const V3 r = s + wq * 1.3;
                const double base = fbm3(r.x, r.y, r.z, octaves, 211, 0.52);
                const double puffs = ridged3(s.x * 2.3, s.y * 2.3, s.z * 2.3, std::max(1, octaves - 2), 221);
                return base + 0.22 * puffs;
            };
            const double d = density(q);
            // Slope of the cloud surface in the local tangent plane, for sun and shadow.
            V3 e1 = norm(cross(n, V3{0, 0, 1}));
            if (dot(e1, e1) < 0.5) e1 = norm(cross(n, V3{1, 0, 0}));
            const V3 e2 = cross(n, e1);
            const double step = std::max(0.002, footprint / 38.0);
            const double dx = (density(q + e1 * step) - d) / step, dy = (density(q + e2 * step) - d) / step;
            const V3 sn = norm(n - (e1 * dx + e2 * dy) * 0.035);
            // Large weather systems: clear patches and dense fields.
            const double system = fbm3(p.x / 520.0, p.y / 520.0, p.z / 520.0, 3, 231);
            const double cover = smoothstep(0.0, 0.28, d + 0.02 + system * 0.55);
            const double lit = clamp01(0.35 + 0.85 * dot(sn, sun));
            Color cloud = mix(rgb(0.42, 0.50, 0.66), rgb(1.0, 0.97, 0.92), static_cast<float>(lit));
            cloud = cloud * static_cast<float>(0.8 + 0.25 * smoothstep(0.1, 0.5, d));
            const Color sea = rgb(0.02, 0.07, 0.15);
            Color ground = mix(sea, cloud, static_cast<float>(cover));
            // Air between the camera and the clouds, thickest towards the limb.
            const double grazing = 1 - std::abs(dot(dir, n));
            const double haze = clamp01(1 - std::exp(-t / 1400.0) + std::pow(grazing, 6) * 0.6);
            out = mix(ground, rgb(0.66, 0.80, 0.98), static_cast<float>(haze));
        } else {
            // Beside the planet: glow of the air by the height of the ray's closest approach.
            const double tc = std::max(0.0, -b);
            const V3 closest = cam + dir * tc;
            const double a = std::sqrt(dot(closest, closest)) - cloudTop;
            const double inner = std::exp(-a / 6.0), outer = std::exp(-a / 22.0);
            out = rgb(0.70, 0.84, 1.0) * static_cast<float>(inner * 1.05) +
                  rgb(0.05, 0.17, 0.55) * static_cast<float>(outer * 0.95) +
                  rgb(0.95, 0.55, 0.30) * static_cast<float>(std::exp(-a / 2.0) * 0.25);
            out = out * static_cast<float>(1.0 / (1.0 + 0.25 * (inner * 1.05 + outer * 0.9)));
            const double md = std::hypot(x + 0.5 - moonX, y + 0.5 - moonY);
            if (md < moonR + 1) {
                const double mx = (x + 0.5 - moonX) / moonR, my = -(y + 0.5 - moonY) / moonR;
                const double mz = std::sqrt(std::max(0.0, 1 - mx * mx - my * my));
                const V3 mn{mx, my, mz};
                const double mare = 0.8 + 0.2 * fbm3(mx * 3 + 1, my * 3, mz * 3, 4, 301);
                const double light = clamp01(dot(mn, moonSun) * 1.6) * mare;
                const double cover = clamp01(moonR - md + 0.5);
                const Color moon = rgb(0.96, 0.94, 0.89) * static_cast<float>(light) + rgb(0.02, 0.025, 0.03);
                out = mix(out, out + moon, static_cast<float>(cover));
            }
        }
        const double vx = (x + 0.5) / w - 0.5, vy = (y + 0.5) / h - 0.5;
        const float vignette = static_cast<float>(1 - 0.35 * (vx * vx + vy * vy));
        const float g = static_cast<float>(grain(x, y, 151) * 0.012);
        return rgb(out.r * vignette + g, out.g * vignette + g, out.b * vignette + g);
    });
    return c;
}

Canvas harbourEvening() {
    const int w = 640, h = 480;
    const double horizon = h * 0.62;
    Canvas c(w, h);
    c.shade([&](int x, int y) {
        const double fy = (y + 0.5) / h;
        if (y < horizon) {
            const double t = (y + 0.5) / horizon;
            Color sky = mix(rgb(0.18, 0.14, 0.36), rgb(0.98, 0.58, 0.30), static_cast<float>(std::pow(t, 1.6)));
            const double sd = std::hypot(x + 0.5 - w * 0.62, y + 0.5 - horizon + 40);
            sky = sky + rgb(1.0, 0.8, 0.5) * static_cast<float>(std::exp(-sd / 60) * 0.6);
            if (sd < 26) sky = mix(sky, rgb(1.0, 0.93, 0.75), static_cast<float>(clamp01(26 - sd)));
            const double hill = horizon - 30 - 28 * (0.5 + 0.5 * fbm2(x / 120.0, 0.3, 4, 401));
            if (y > hill && x < w * 0.45) sky = mix(sky, rgb(0.12, 0.08, 0.16), 0.9f);
            return sky;
        }
        const double depth = (fy - horizon / h) / (1 - horizon / h);
        Color sea = mix(rgb(0.55, 0.32, 0.30), rgb(0.08, 0.08, 0.20), static_cast<float>(std::sqrt(depth)));
        const double wave = fbm2(x / (8 + depth * 40), y / (2 + depth * 9), 3, 411);
        const double glitter = std::exp(-std::pow((x + 0.5 - w * 0.62) / (30 + depth * 90), 2));
        sea = sea + rgb(1.0, 0.75, 0.45) * static_cast<float>(glitter * smoothstep(0.0, 0.3, wave) * 0.8);
        return sea;
    });
    return c;
}

}  // namespace pictures
