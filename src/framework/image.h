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

// 8-bit samples, rows in stored order (first stored row first), rows tightly packed.
class ImageSource {
public:
    ImageSource(int width, int height, int channels, std::vector<std::uint8_t> pixels)
        : width_(width), height_(height), channels_(channels), stride_(channels), pixels_(std::move(pixels)) {}
    // `stride` bytes per pixel: `channels` samples, then padding bytes (0xFF) up to the stride.
    ImageSource(int width, int height, int channels, int stride, std::unique_ptr<std::uint8_t[]> pixels)
        : width_(width), height_(height), channels_(channels), stride_(stride), owned_(std::move(pixels)) {}
    int getWidth() const { return width_; }
    int getHeight() const { return height_; }
    // 1 (grey), 2 (grey and alpha), 3 (RGB) or 4 (RGBA).
    int getChannels() const { return channels_; }
    // Bytes per pixel as stored: the channel count, or 4 for RGB kept with a padding byte
    // (which GL takes as it is, without repacking).
    int getPixelStride() const { return stride_; }
    const std::uint8_t* getData() const { return owned_ ? owned_.get() : pixels_.data(); }

private:
    int width_, height_, channels_, stride_;
    std::vector<std::uint8_t> pixels_;
    std::unique_ptr<std::uint8_t[]> owned_;
};
using ImageSourceRef = std::shared_ptr<ImageSource>;

// Throws ImageIoExc when the bytes are not a picture it can decode.
ImageSourceRef loadImage(const DataSourceRef& source, int index = 0, const std::string& extension = "");

}  // namespace framework
