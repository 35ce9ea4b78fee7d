#pragma once
// Decoded pictures. The decoder is chosen from the bytes themselves (PNG or JPEG).

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/resources.h"

namespace framework {

class ImageIoExc : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// 8-bit samples, rows in stored order (first stored row first), tightly packed.
class ImageSource {
public:
    ImageSource(int width, int height, int channels, std::vector<std::uint8_t> pixels)
        : width_(width), height_(height), channels_(channels), pixels_(std::move(pixels)) {}
    int getWidth() const { return width_; }
    int getHeight() const { return height_; }
    // 1 (grey), 2 (grey and alpha), 3 (RGB) or 4 (RGBA).
    int getChannels() const { return channels_; }
    const std::uint8_t* getData() const { return pixels_.data(); }

private:
    int width_, height_, channels_;
    std::vector<std::uint8_t> pixels_;
};
using ImageSourceRef = std::shared_ptr<ImageSource>;

// Throws ImageIoExc when the bytes are not a picture it can decode.
ImageSourceRef loadImage(const DataSourceRef& source, int index = 0, const std::string& extension = "");

}  // namespace framework
