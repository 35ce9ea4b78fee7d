// The generated pictures as files, and the image loader on them and on damaged bytes.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "framework/image.h"

using framework::DataSourceBuffer;
using framework::ImageIoExc;
using framework::loadImage;

namespace {

struct Expected {
    int id, width, height, components;
};

// Every picture of the set, 148 included.
const std::vector<Expected> kPictures = [] {
    std::vector<Expected> v;
    for (int id = 129; id <= 152; ++id) v.push_back({id, 1900, 1200, 3});
    for (auto& e : v) {
        if (e.id == 135) e.width = 600, e.height = 300;
        if (e.id == 144) e.width = 2048, e.height = 1024, e.components = 1;
        if (e.id == 129) e.width = 1600, e.height = 900;
        if (e.id == 151) e.width = 3027, e.height = 2010;
        if (e.id == 148) e.width = 640, e.height = 480;
    }
    v.insert(v.begin(), {128, 256, 256, 4});
    return v;
}();

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string pathOf(int id) { return std::string(LUMIVEX_PICTURES_DIR) + "/" + std::to_string(id) + (id == 128 ? ".png" : ".jpg"); }

framework::DataSourceRef source(const std::vector<std::uint8_t>& bytes) {
    return std::make_shared<DataSourceBuffer>(std::span<const std::uint8_t>(bytes.data(), bytes.size()));
}

struct JpegFrame {
    std::vector<int> sofMarkers;
    int precision = 0, width = 0, height = 0, components = 0;
};

// Walks the marker segments up to the first scan.
JpegFrame scanJpeg(const std::vector<std::uint8_t>& b) {
    JpegFrame f;
    size_t i = 2;
    while (i + 4 <= b.size() && b[i] == 0xFF) {
        const int marker = b[i + 1];
        const size_t len = (b[i + 2] << 8) | b[i + 3];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            f.sofMarkers.push_back(marker);
            f.precision = b[i + 4];
            f.height = (b[i + 5] << 8) | b[i + 6];
            f.width = (b[i + 7] << 8) | b[i + 8];
            f.components = b[i + 9];
        }
        if (marker == 0xDA) break;
        i += 2 + len;
    }
    return f;
}

std::uint32_t be32(const std::uint8_t* p) { return (p[0] << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }

}  // namespace

TEST(PictureFiles, EncodingsSizesAndComponentsAsListed) {
    for (const auto& e : kPictures) {
        SCOPED_TRACE(e.id);
        const auto bytes = readFile(pathOf(e.id));
        ASSERT_GT(bytes.size(), 100u);
        if (e.id == 128) {
            const std::array<std::uint8_t, 8> sig = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
            ASSERT_TRUE(std::equal(sig.begin(), sig.end(), bytes.begin()));
            ASSERT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "IHDR");
            EXPECT_EQ(be32(&bytes[16]), 256u);
            EXPECT_EQ(be32(&bytes[20]), 256u);
            EXPECT_EQ(bytes[24], 8) << "bit depth";
            EXPECT_EQ(bytes[25], 6) << "colour type RGBA";
            EXPECT_EQ(bytes[28], 0) << "interlace method";
        } else {
            ASSERT_EQ(bytes[0], 0xFF);
            ASSERT_EQ(bytes[1], 0xD8);
            const JpegFrame f = scanJpeg(bytes);
            // One frame, and it is SOF0: baseline sequential Huffman.
            ASSERT_EQ(f.sofMarkers, std::vector<int>{0xC0});
            EXPECT_EQ(f.precision, 8);
            EXPECT_EQ(f.width, e.width);
            EXPECT_EQ(f.height, e.height);
            EXPECT_EQ(f.components, e.components);
        }
        const auto image = loadImage(source(bytes));
        EXPECT_EQ(image->getWidth(), e.width);
        EXPECT_EQ(image->getHeight(), e.height);
        EXPECT_EQ(image->getChannels(), e.components);
        // Colour JPEGs are kept with a padding byte of 0xFF, the others as they are.
        EXPECT_EQ(image->getPixelStride(), e.components == 3 ? 4 : e.components);
        if (e.components == 3) {
            int padding = 0;
            for (size_t i = 0, n = static_cast<size_t>(e.width) * e.height; i < n; ++i) padding += image->getData()[i * 4 + 3] != 0xFF;
            EXPECT_EQ(padding, 0);
        }
    }
}

TEST(PictureFiles, NoiseChannelsAreEvenAndTiedByTheOffset) {
    const auto bytes = readFile(pathOf(128));
    const auto image = loadImage(source(bytes));
    ASSERT_EQ(image->getChannels(), 4);
    const std::uint8_t* p = image->getData();
    auto at = [&](int x, int y, int c) { return p[(((y & 255) * 256) + (x & 255)) * 4 + c]; };
    std::array<std::array<int, 256>, 4> histogram{};
    int mismatches = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            for (int c = 0; c < 4; ++c) ++histogram[c][at(x, y, c)];
            mismatches += at(x, y, 1) != at(x - 37, y - 17, 0);
            mismatches += at(x, y, 3) != at(x - 37, y - 17, 2);
        }
    EXPECT_EQ(mismatches, 0);
    for (int c = 0; c < 4; ++c)
        for (int v = 0; v < 256; ++v) ASSERT_EQ(histogram[c][v], 256) << "channel " << c << " value " << v;
    // Red and blue are not one channel twice, and neighbours are not alike: it is noise.
    int same = 0, neighbours = 0;
    for (int i = 0; i < 256 * 256; ++i) same += p[i * 4] == p[i * 4 + 2];
    for (int x = 0; x < 255; ++x) neighbours += std::abs(at(x, 0, 0) - at(x + 1, 0, 0)) < 8;
    EXPECT_LT(same, 1024);
    EXPECT_LT(neighbours, 40);
}

TEST(PictureFiles, CardsAreLightTypeOnBlack) {
    // A text card: mostly black, some near-white type, nothing coloured.
    for (int id : {130, 131, 134, 138, 139, 143, 147, 152}) {
        SCOPED_TRACE(id);
        const auto image = loadImage(source(readFile(pathOf(id))));
        const std::uint8_t* p = image->getData();
        const int stride = image->getPixelStride();
        size_t black = 0, bright = 0, coloured = 0, n = static_cast<size_t>(image->getWidth()) * image->getHeight();
        for (size_t i = 0; i < n; ++i) {
            const int r = p[i * stride], g = p[i * stride + 1], b = p[i * stride + 2];
            black += r < 16 && g < 16 && b < 16;
            bright += r > 200 && g > 200 && b > 200;
            coloured += std::max({r, g, b}) - std::min({r, g, b}) > 60;
        }
        EXPECT_GT(black, n * 8 / 10);
        EXPECT_GT(bright, 500u);
        EXPECT_LT(coloured, 50u);
    }
    // The title card has its one red letter.
    const auto title = loadImage(source(readFile(pathOf(136))));
    size_t red = 0;
    for (size_t i = 0, n = static_cast<size_t>(title->getWidth()) * title->getHeight(); i < n; ++i) {
        const std::uint8_t* q = title->getData() + i * title->getPixelStride();
        red += q[0] > 150 && q[1] < 80 && q[2] < 80;
    }
    EXPECT_GT(red, 2000u);
}

TEST(ImageLoader, BytesThatAreNoPictureThrowWithAClearText) {
    const auto jpeg = readFile(pathOf(131));
    const auto png = readFile(pathOf(128));
    auto message = [](const std::vector<std::uint8_t>& bytes) -> std::string {
        try {
            loadImage(source(bytes));
        } catch (const ImageIoExc& e) {
            return e.what();
        }
        return "decoded";
    };
    EXPECT_EQ(message({}), "Failed to decode image: the data is neither PNG nor JPEG");
    EXPECT_EQ(message({'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}), "Failed to decode image: the data is neither PNG nor JPEG");

    // A JPEG start followed by rubbish, and a JPEG cut short in its entropy-coded data.
    std::vector<std::uint8_t> rubbish = {0xFF, 0xD8, 0xFF, 0xE0};
    rubbish.resize(4000, 0x5A);
    EXPECT_EQ(message(rubbish).rfind("Failed to decode JPEG image: ", 0), 0u) << message(rubbish);
    std::vector<std::uint8_t> cut(jpeg.begin(), jpeg.begin() + jpeg.size() / 2);
    EXPECT_EQ(message(cut).rfind("Failed to decode JPEG image: ", 0), 0u) << message(cut);

    // A PNG cut short, and one with its image data damaged.
    std::vector<std::uint8_t> shortPng(png.begin(), png.begin() + png.size() / 2);
    EXPECT_EQ(message(shortPng).rfind("Failed to decode PNG image: ", 0), 0u) << message(shortPng);
    std::vector<std::uint8_t> damaged = png;
    for (size_t i = 200; i < 1200; ++i) damaged[i] ^= 0xA5;
    EXPECT_EQ(message(damaged).rfind("Failed to decode PNG image: ", 0), 0u) << message(damaged);

    // The decoder is chosen from the bytes, never from a name.
    EXPECT_EQ(loadImage(source(png), 0, "jpg")->getChannels(), 4);
    EXPECT_EQ(loadImage(source(jpeg), 0, "png")->getChannels(), 3);
}
