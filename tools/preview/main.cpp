// lumivex_preview: renders effect bodies at a few moments into one PNG sheet per body, with
// the show's pictures bound as the timeline binds them.
//
//   lumivex_preview [--out DIR] [--size WxH] [--times 1,5,15,30] [body numbers...]
//
// Frames are laid out left to right, top to bottom, in the order of --times.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "effect_kit.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: lumivex_preview [--out DIR] [--size WxH] [--times t1,t2,...] [body...]\n");
    return 2;
}

std::vector<float> parseTimes(const std::string& text) {
    std::vector<float> times;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) times.push_back(std::stof(item));
    return times;
}

}  // namespace

int main(int argc, char** argv) {
    std::string outDir = "build/preview";
    int width = 640, height = 480;
    std::vector<float> times{1.0f, 5.0f, 15.0f, 30.0f};
    std::vector<int> numbers;
    try {
        for (int i = 1; i < argc; ++i) {
            std::string arg = argv[i];
            if (arg == "--out" && i + 1 < argc) outDir = argv[++i];
            else if (arg == "--size" && i + 1 < argc) {
                if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0) return usage();
            } else if (arg == "--times" && i + 1 < argc) times = parseTimes(argv[++i]);
            else if (!arg.empty() && arg[0] != '-') numbers.push_back(std::stoi(arg));
            else return usage();
        }
    } catch (const std::exception&) {
        return usage();
    }
    if (times.empty()) return usage();
    if (numbers.empty())
        for (const effects::Body& b : effects::bodies()) numbers.push_back(b.number);

    try {
        effects::OffscreenContext context;
        std::filesystem::create_directories(outDir);
        std::map<int, framework::gl::TextureRef> pictures;
        framework::gl::Fbo fbo(width, height);

        const int n = static_cast<int>(times.size());
        const int columns = static_cast<int>(std::ceil(std::sqrt(double(n))));
        const int rows = (n + columns - 1) / columns;
        const int gap = 4;
        const int sheetW = columns * width + (columns - 1) * gap;
        const int sheetH = rows * height + (rows - 1) * gap;

        int failures = 0;
        for (int number : numbers) {
            const effects::Body* body = effects::findBody(number);
            if (!body) {
                std::fprintf(stderr, "no effect body %d\n", number);
                ++failures;
                continue;
            }
            framework::gl::GlslProgRef program;
            try {
                program = effects::buildEffect(number);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "body %d: %s\n", number, e.what());
                ++failures;
                continue;
            }
            effects::Inputs inputs;
            effects::bindTextureSetPictures(body->textureSet, pictures, inputs);

            std::vector<std::uint8_t> sheet(static_cast<std::size_t>(sheetW) * sheetH * 4, 0);
            for (std::size_t i = 3; i < sheet.size(); i += 4) sheet[i] = 255;
            for (int k = 0; k < n; ++k) {
                inputs.time = times[k];
                const effects::Frame frame = effects::render(*program, fbo, inputs);
                const int ox = (k % columns) * (width + gap);
                const int oy = (k / columns) * (height + gap);
                for (int y = 0; y < height; ++y) {
                    // GL rows run bottom-up; the sheet runs top-down.
                    const std::uint8_t* src = frame.pixel(0, height - 1 - y);
                    std::copy(src, src + width * 4, &sheet[(static_cast<std::size_t>(oy + y) * sheetW + ox) * 4]);
                }
            }
            const std::string path = outDir + "/" + std::to_string(number) + ".png";
            effects::writePng(path, sheetW, sheetH, sheet);
            std::printf("%s\n", path.c_str());
        }
        return failures ? 1 : 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumivex_preview: %s\n", e.what());
        return 1;
    }
}
