// The texture set's loading path (resource -> loadImage -> Texture::create, in slot order, in a
// GL 2.1 compatibility context as the player's) against bare TurboJPEG/libpng decoding of the
// same embedded bytes, alternating in one run; then the peak memory of one loading pass.
//   tests/support/with_xvfb.sh -- picture_load_bench [rounds]
// Prints the best and median time of each side, their ratio (goal: at most 1.3) and the peak.

#include <SDL.h>
#include <epoxy/gl.h>
#include <png.h>
#include <turbojpeg.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "framework/gl/texture.h"
#include "framework/image.h"
#include "framework/resources.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::array<int, 24> kSlotIds = {128, 143, 136, 131, 130, 132, 141, 142, 137, 145, 149, 150,
                                          133, 139, 147, 134, 138, 140, 135, 144, 129, 146, 151, 152};

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

long statusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + key.size());
    return -1;
}

// Resets the peak resident size to the current one (Linux: "5" into clear_refs).
bool resetPeak() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    return static_cast<bool>(out);
}

// What the player keeps: 24 textures, built the way setup builds them.
std::vector<framework::gl::TextureRef> loadSet() {
    framework::gl::Texture::Format format;
    format.setWrap(GL_REPEAT, GL_REPEAT);
    std::vector<framework::gl::TextureRef> set(kSlotIds.size());
    for (size_t slot = 0; slot < kSlotIds.size(); ++slot)
        set[slot] = framework::gl::Texture::create(
            framework::loadImage(framework::loadResource(kSlotIds[slot], "IMAGE"), 0, ""), format);
    glFinish();
    return set;
}

// Bare decoding of the same bytes into buffers that are dropped at once.
std::size_t decodeRaw(tjhandle tj) {
    std::size_t total = 0;
    for (int id : kSlotIds) {
        const auto data = framework::loadResource(id, "IMAGE");
        if (id == 128) {
            png_image image{};
            image.version = PNG_IMAGE_VERSION;
            png_image_begin_read_from_memory(&image, data->data(), data->size());
            image.format = PNG_FORMAT_RGBA;
            std::vector<std::uint8_t> px(PNG_IMAGE_SIZE(image));
            png_image_finish_read(&image, nullptr, px.data(), 0, nullptr);
            total += px.size();
            continue;
        }
        int w, h, sub, cs;
        tjDecompressHeader3(tj, data->data(), data->size(), &w, &h, &sub, &cs);
        const bool grey = cs == TJCS_GRAY;
        const size_t n = static_cast<size_t>(w) * h * (grey ? 1 : 3);
        std::unique_ptr<std::uint8_t[]> px(new std::uint8_t[n]);
        tjDecompress2(tj, data->data(), data->size(), px.get(), w, 0, h, grey ? TJPF_GRAY : TJPF_RGB, 0);
        total += n;
    }
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_Window* window = SDL_CreateWindow("picture_load_bench", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context) {
        std::fprintf(stderr, "GL: %s\n", SDL_GetError());
        return 1;
    }
    std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

    // Peak memory of the first pass, before anything has been decoded in this process.
    const long baseKb = statusKb("VmRSS");
    const bool peakReset = resetPeak();
    std::size_t textureBytes = 0;
    long heldKb = 0, peakKb = 0;
    {
        auto set = loadSet();
        for (const auto& t : set) textureBytes += static_cast<size_t>(t->getWidth()) * t->getHeight() * 4;
        heldKb = statusKb("VmRSS");
        peakKb = statusKb("VmHWM");
    }

    tjhandle tj = tjInitDecompress();
    std::vector<double> load, raw;
    std::size_t decodedBytes = 0;
    for (int r = 0; r < rounds; ++r) {
        auto t0 = Clock::now();
        decodedBytes = decodeRaw(tj);
        auto t1 = Clock::now();
        { auto set = loadSet(); }
        auto t2 = Clock::now();
        raw.push_back(seconds(t0, t1));
        load.push_back(seconds(t1, t2));
    }
    tjDestroy(tj);
    std::sort(load.begin(), load.end());
    std::sort(raw.begin(), raw.end());
    const double loadMed = load[load.size() / 2], rawMed = raw[raw.size() / 2];
    std::printf("pictures: 24, %.1f MB decoded per pass\n", decodedBytes / 1048576.0);
    std::printf("bare decoding:  best %.1f ms, median %.1f ms\n", raw.front() * 1e3, rawMed * 1e3);
    std::printf("texture set:    best %.1f ms, median %.1f ms\n", load.front() * 1e3, loadMed * 1e3);
    std::printf("ratio (median): %.2f  (best: %.2f)  goal <= 1.30\n", loadMed / rawMed, load.front() / raw.front());
    std::printf("memory: resident before %.1f MB, peak while loading %.1f MB%s, after %.1f MB\n", baseKb / 1024.0,
                peakKb / 1024.0, peakReset ? "" : " (peak since start)", heldKb / 1024.0);
    std::printf("memory: peak above start %.1f MB = texel storage held by GL (4 bytes per texel) %.1f MB"
                " + one decoded picture in flight (largest, RGBX) %.1f MB + the rest\n",
                (peakKb - baseKb) / 1024.0, textureBytes / 1048576.0, 3027.0 * 2010 * 4 / 1048576.0);

    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
