// Frame time of every effect body at 640x480 (or --size WxH) on the current GL, with the
// show's pictures bound as the timeline binds them. Prints one table row per body.
//
//   bench_effect_frame_time [--size WxH] [--frames N] [body...]

#include <epoxy/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <string>
#include <vector>

#include "effect_kit.h"

int main(int argc, char** argv) {
    int width = 640, height = 480, frames = 5;
    std::vector<int> numbers;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--size" && i + 1 < argc) std::sscanf(argv[++i], "%dx%d", &width, &height);
        else if (arg == "--frames" && i + 1 < argc) frames = std::max(1, std::atoi(argv[++i]));
        else numbers.push_back(std::atoi(arg.c_str()));
    }
    if (numbers.empty())
        for (const effects::Body& b : effects::bodies()) numbers.push_back(b.number);

    try {
        effects::OffscreenContext context;
        framework::gl::Fbo fbo(width, height);
        std::map<int, framework::gl::TextureRef> pictures;
        std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
        std::printf("%dx%d, %d frames per body, times spread over 1..15 s\n\n", width, height, frames);
        std::printf("| body | median ms | min ms | max ms | fps |\n|---|---|---|---|---|\n");
        for (int number : numbers) {
            const effects::Body* body = effects::findBody(number);
            if (!body) continue;
            auto program = effects::buildEffect(number);
            effects::Inputs inputs;
            effects::bindTextureSetPictures(body->textureSet, pictures, inputs);
            inputs.time = 0.5f;
            effects::render(*program, fbo, inputs);  // first use pays for shader set-up
            std::vector<double> ms;
            for (int k = 0; k < frames; ++k) {
                inputs.time = 1.0f + 14.0f * float(k) / float(std::max(1, frames - 1));
                const auto start = std::chrono::steady_clock::now();
                effects::render(*program, fbo, inputs);  // ends in glReadPixels: the frame is done
                ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            }
            std::sort(ms.begin(), ms.end());
            const double median = ms[ms.size() / 2];
            std::printf("| %d | %.1f | %.1f | %.1f | %.1f |\n", number, median, ms.front(), ms.back(), 1000.0 / median);
            std::fflush(stdout);
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_effect_frame_time: %s\n", e.what());
        return 1;
    }
}
