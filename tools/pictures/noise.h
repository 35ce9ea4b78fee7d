#pragma once
// Gradient noise and fractal sums, fixed by their seeds (no global state).

#include <cmath>
#include <cstdint>

namespace pictures {

inline std::uint32_t hash3(int x, int y, int z, std::uint32_t seed) {
    std::uint32_t h = seed * 0x27d4eb2du;
    h ^= static_cast<std::uint32_t>(x) * 0x85ebca6bu;
    h = (h << 13) | (h >> 19);
    h ^= static_cast<std::uint32_t>(y) * 0xc2b2ae35u;
    h = (h << 11) | (h >> 21);
    h ^= static_cast<std::uint32_t>(z) * 0x165667b1u;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

inline double gradDot(std::uint32_t h, double x, double y, double z) {
    // Twelve edge directions of a cube, as in improved Perlin noise.
    switch (h % 12) {
    case 0: return x + y;
    case 1: return -x + y;
    case 2: return x - y;
    case 3: return -x - y;
    case 4: return x + z;
    case 5: return -x + z;
    case 6: return x - z;
    case 7: return -x - z;
    case 8: return y + z;
    case 9: return -y + z;
    case 10: return y - z;
    default: return -y - z;
    }
}

inline double fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }

// Roughly in -1..1.
inline double noise3(double x, double y, double z, std::uint32_t seed = 0) {
    const double fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy), iz = static_cast<int>(fz);
    x -= fx, y -= fy, z -= fz;
    const double u = fade(x), v = fade(y), w = fade(z);
    auto g = [&](int dx, int dy, int dz) { return gradDot(hash3(ix + dx, iy + dy, iz + dz, seed), x - dx, y - dy, z - dz); };
    const double x00 = g(0, 0, 0) + u * (g(1, 0, 0) - g(0, 0, 0));
    const double x10 = g(0, 1, 0) + u * (g(1, 1, 0) - g(0, 1, 0));
    const double x01 = g(0, 0, 1) + u * (g(1, 0, 1) - g(0, 0, 1));
    const double x11 = g(0, 1, 1) + u * (g(1, 1, 1) - g(0, 1, 1));
    const double y0 = x00 + v * (x10 - x00), y1 = x01 + v * (x11 - x01);
    return (y0 + w * (y1 - y0)) * 0.9;
}

inline double noise2(double x, double y, std::uint32_t seed = 0) { return noise3(x, y, 0.5, seed); }

inline double fbm3(double x, double y, double z, int octaves, std::uint32_t seed = 0, double gain = 0.5,
                   double lacunarity = 2.03) {
    double sum = 0, amp = 0.5, norm = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amp * noise3(x, y, z, seed + i * 101u);
        norm += amp;
        amp *= gain;
        x *= lacunarity, y *= lacunarity, z *= lacunarity;
    }
    return sum / norm;
}

inline double fbm2(double x, double y, int octaves, std::uint32_t seed = 0, double gain = 0.5) {
    return fbm3(x, y, 0.37, octaves, seed, gain);
}

// Ridged variant: sharp crests, for cloud towers and mountain chains.
inline double ridged3(double x, double y, double z, int octaves, std::uint32_t seed = 0) {
    double sum = 0, amp = 0.5, norm = 0;
    for (int i = 0; i < octaves; ++i) {
        const double n = 1 - std::abs(noise3(x, y, z, seed + i * 131u));
        sum += amp * n * n;
        norm += amp;
        amp *= 0.5;
        x *= 2.01, y *= 2.01, z *= 2.01;
    }
    return sum / norm;
}

}  // namespace pictures
