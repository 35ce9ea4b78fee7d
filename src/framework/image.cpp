#include "framework/image.h"

#include <png.h>
#include <turbojpeg.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace framework {

namespace {

bool looksLikePng(const std::uint8_t* bytes, std::size_t size) {
    return size >= 8 && png_sig_cmp(bytes, 0, 8) == 0;
}

bool looksLikeJpeg(const std::uint8_t* bytes, std::size_t size) {
    return size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

struct TjHandle {
    tjhandle handle = tjInitDecompress();
    ~TjHandle() {
        if (handle) tjDestroy(handle);
    }
};

ImageSourceRef decodeJpeg(const std::uint8_t* bytes, std::size_t size) {
    TjHandle tj;
    if (!tj.handle) throw ImageIoExc(std::string("JPEG decoder unavailable: ") + tjGetErrorStr2(nullptr));
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(tj.handle, bytes, static_cast<unsigned long>(size), &width, &height, &subsampling,
                            &colorspace) != 0) {
        throw ImageIoExc(std::string("Failed to decode JPEG image: ") + tjGetErrorStr2(tj.handle));
    }
    if (width <= 0 || height <= 0) throw ImageIoExc("Failed to decode JPEG image: empty picture");
    const bool grey = colorspace == TJCS_GRAY;
    // Colour is kept as RGBX (X = 0xFF): GL takes four bytes per texel as they are, where three
    // would be repacked texel by texel.
    const int stride = grey ? 1 : 4;
    // Not zero-filled: the decoder writes every byte.
    std::unique_ptr<std::uint8_t[]> pixels(new std::uint8_t[static_cast<std::size_t>(width) * height * stride]);
    // A warning (a truncated or damaged stream) counts as a failure: the picture would be
    // partly made up.
    if (tjDecompress2(tj.handle, bytes, static_cast<unsigned long>(size), pixels.get(), width, 0, height,
                      grey ? TJPF_GRAY : TJPF_RGBX, 0) != 0) {
        throw ImageIoExc(std::string("Failed to decode JPEG image: ") + tjGetErrorStr2(tj.handle));
    }
    return std::make_shared<ImageSource>(width, height, grey ? 1 : 3, stride, std::move(pixels));
}

struct PngReader {
    const std::uint8_t* bytes;
    std::size_t size;
    std::size_t offset = 0;
    char error[256] = {};
    std::jmp_buf jump;
};

void pngRead(png_structp png, png_bytep out, png_size_t count) {
    auto* reader = static_cast<PngReader*>(png_get_io_ptr(png));
    if (count > reader->size - reader->offset) png_error(png, "unexpected end of data");
    std::memcpy(out, reader->bytes + reader->offset, count);
    reader->offset += count;
}

void pngError(png_structp png, png_const_charp message) {
    auto* reader = static_cast<PngReader*>(png_get_error_ptr(png));
    std::snprintf(reader->error, sizeof reader->error, "%s", message);
    std::longjmp(reader->jump, 1);
}

void pngWarning(png_structp, png_const_charp) {}

ImageSourceRef decodePng(const std::uint8_t* bytes, std::size_t size) {
    PngReader reader{bytes, size, 0, {}, {}};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, pngError, pngWarning);
    if (!png) throw ImageIoExc("PNG decoder unavailable");
    png_infop info = png_create_info_struct(png);
    std::vector<std::uint8_t> pixels;
    std::vector<png_bytep> rows;
    int width = 0, height = 0, channels = 0;

    if (setjmp(reader.jump)) {
        png_destroy_read_struct(&png, &info, nullptr);
        throw ImageIoExc(std::string("Failed to decode PNG image: ") + reader.error);
    }
    if (!info) png_error(png, "out of memory");
    png_set_read_fn(png, &reader, pngRead);
    png_read_info(png, info);
    // Everything becomes 8-bit grey, grey+alpha, RGB or RGBA.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_packing(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    width = static_cast<int>(png_get_image_width(png, info));
    height = static_cast<int>(png_get_image_height(png, info));
    channels = png_get_channels(png, info);
    if (channels < 1 || channels > 4 || png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * channels)
        png_error(png, "unsupported pixel layout");
    pixels.resize(static_cast<std::size_t>(width) * height * channels);
    rows.resize(height);
    for (int y = 0; y < height; ++y) rows[y] = pixels.data() + static_cast<std::size_t>(y) * width * channels;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return std::make_shared<ImageSource>(width, height, channels, std::move(pixels));
}

}  // namespace

ImageSourceRef loadImage(const DataSourceRef& source, int /*index*/, const std::string& /*extension*/) {
    if (!source) throw ImageIoExc("Failed to decode image: no data");
    const std::uint8_t* bytes = source->data();
    const std::size_t size = source->size();
    if (looksLikePng(bytes, size)) return decodePng(bytes, size);
    if (looksLikeJpeg(bytes, size)) return decodeJpeg(bytes, size);
    throw ImageIoExc("Failed to decode image: the data is neither PNG nor JPEG");
}

}  // namespace framework
