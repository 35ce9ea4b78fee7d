// Writes the show's 25 pictures (IMAGE 128 to 152) into a folder, and a contact sheet of them.
//   make_pictures <output folder> [contact sheet.png]
// The output depends on nothing but this program and its fonts: same bytes on every run.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "pictures.h"

using namespace pictures;

namespace {

// Four channels spread evenly over 0..255 (each value on exactly 256 texels), with
// G(x, y) = R(x - 37, y - 17) and A(x, y) = B(x - 37, y - 17), coordinates modulo 256.
std::vector<std::uint8_t> noisePicture() {
    constexpr int n = 256;
    auto evenChannel = [](std::uint64_t seed) {
        std::vector<std::uint32_t> perm(n * n);
        std::iota(perm.begin(), perm.end(), 0u);
        Rng rng(seed);
        for (size_t i = perm.size() - 1; i > 0; --i) std::swap(perm[i], perm[rng.next() % (i + 1)]);
        std::vector<std::uint8_t> v(n * n);
        for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<std::uint8_t>(perm[i] >> 8);
        return v;
    };
    const auto red = evenChannel(128), blue = evenChannel(1128);
    std::vector<std::uint8_t> rgba(n * n * 4);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const int from = ((y - 17) & 255) * n + ((x - 37) & 255), here = y * n + x;
            rgba[here * 4 + 0] = red[here];
            rgba[here * 4 + 1] = red[from];
            rgba[here * 4 + 2] = blue[here];
            rgba[here * 4 + 3] = blue[from];
        }
    return rgba;
}

struct Sheet {
    static constexpr int cols = 5, cellW = 260, cellH = 190, thumbW = 248, thumbH = 156;
    Canvas canvas{cols * cellW, 5 * cellH, {0.16f, 0.16f, 0.17f}};
    int next = 0;

    void add(Fonts& fonts, int id, const Canvas& pic) {
        const int cx = (next % cols) * cellW, cy = (next / cols) * cellH;
        ++next;
        const double scale = std::min(static_cast<double>(thumbW) / pic.width(), static_cast<double>(thumbH) / pic.height());
        const int tw = std::max(1, static_cast<int>(pic.width() * scale)), th = std::max(1, static_cast<int>(pic.height() * scale));
        const int ox = cx + (cellW - tw) / 2, oy = cy + 6 + (thumbH - th) / 2;
        // Box filter: the average of the source pixels under each thumbnail pixel.
        for (int y = 0; y < th; ++y)
            for (int x = 0; x < tw; ++x) {
                const int sx0 = x * pic.width() / tw, sx1 = std::max(sx0 + 1, (x + 1) * pic.width() / tw);
                const int sy0 = y * pic.height() / th, sy1 = std::max(sy0 + 1, (y + 1) * pic.height() / th);
                Color sum;
                for (int sy = sy0; sy < sy1; ++sy)
                    for (int sx = sx0; sx < sx1; ++sx) sum = sum + pic.get(sx, sy);
                canvas.set(ox + x, oy + y, sum * (1.0f / ((sx1 - sx0) * (sy1 - sy0))));
            }
        Font::Style s;
        s.size = 17;
        char label[64];
        std::snprintf(label, sizeof label, "%d  %dx%d", id, pic.width(), pic.height());
        fonts.label.drawCentred(canvas, label, cx + cellW / 2.0, cy + cellH - 12, s, {0.85f, 0.85f, 0.85f});
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder> [contact sheet.png]\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const std::string sheetPath = argc > 2 ? argv[2] : "";
    const auto started = std::chrono::steady_clock::now();
    try {
        Fonts fonts{Font(LUMIVEX_FONT_SCRIPT), Font(LUMIVEX_FONT_THIN), Font(LUMIVEX_FONT_SERIF),
                    Font(LUMIVEX_FONT_SERIF_ITALIC), Font(LUMIVEX_FONT_LABEL)};
        Sheet sheet;

        const auto noise = noisePicture();
        writePng(dir + "/128.png", noise.data(), 256, 256, 4);
        {
            Canvas c(256, 256);
            for (int i = 0; i < 256 * 256; ++i)
                c.set(i % 256, i / 256, {noise[i * 4] / 255.0f, noise[i * 4 + 1] / 255.0f, noise[i * 4 + 2] / 255.0f});
            sheet.add(fonts, 128, c);
        }

        Canvas print;
        struct Job {
            int id;
            std::function<Canvas()> make;
            int channels = 3;
        };
        const std::vector<Job> jobs = {
            {129, [&] { return wingedFigure(); }},
            {130, [&] { return topicCard(fonts, 130); }},
            {131, [&] { return openingCard(fonts); }},
            {132, [&] { return topicCard(fonts, 132); }},
            {133, [&] { return topicCard(fonts, 133); }},
            {134, [&] { return creditsCard(fonts); }},
            {135, [&] { return planetMap(); }},
            {136, [&] { return titleCard(fonts); }},
            {137, [&] { return topicCard(fonts, 137); }},
            {138, [&] { return greetingsCard(fonts); }},
            {139, [&] { return questionCard(fonts); }},
            {140, [&] { return print = astronomicalPrint(fonts); }},
            {141, [&] { return topicCard(fonts, 141); }},
            {142, [&] { return topicCard(fonts, 142); }},
            {143, [&] { return makersCard(fonts); }},
            {144, [&] { return moonMap(); }, 1},
            {145, [&] { return topicCard(fonts, 145); }},
            {146, [&] { return printInPerspective(print); }},
            {147, [&] { return wordCard(fonts); }},
            {148, [&] { return harbourEvening(); }},
            {149, [&] { return topicCard(fonts, 149); }},
            {150, [&] { return topicCard(fonts, 150); }},
            {151, [&] { return cloudTops(); }},
            {152, [&] { return quotationCard(fonts); }},
        };
        for (const auto& job : jobs) {
            const Canvas c = job.make();
            const auto bytes = c.toBytes(job.channels);
            writeJpeg(dir + "/" + std::to_string(job.id) + ".jpg", bytes.data(), c.width(), c.height(), job.channels, 92);
            sheet.add(fonts, job.id, c);
        }
        if (!sheetPath.empty()) {
            const auto bytes = sheet.canvas.toBytes(3);
            writePng(sheetPath, bytes.data(), sheet.canvas.width(), sheet.canvas.height(), 3);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_pictures: %s\n", e.what());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("make_pictures: 25 pictures in %s (%.1f s)\n", dir.c_str(), seconds);
    return 0;
}
