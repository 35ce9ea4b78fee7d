#include "framework/utf8.h"

namespace framework {

bool decodeUtf8(std::string_view bytes, std::size_t& i, char32_t& code) {
    if (i >= bytes.size()) return false;
    const auto c = static_cast<unsigned char>(bytes[i]);
    std::size_t length = 0;
    char32_t value = 0;
    if (c < 0x80) {
        length = 1;
        value = c;
    } else if (c >= 0xc2 && c <= 0xdf) {
        length = 2;
        value = c & 0x1f;
    } else if (c >= 0xe0 && c <= 0xef) {
        length = 3;
        value = c & 0x0f;
    } else if (c >= 0xf0 && c <= 0xf4) {
        length = 4;
        value = c & 0x07;
    } else {
        return false;
    }
    if (i + length > bytes.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[i + k]);
        if ((next & 0xc0) != 0x80) return false;
        value = (value << 6) | (next & 0x3f);
    }
    if ((length == 3 && value < 0x800) || (length == 4 && value < 0x10000) ||
        (value >= 0xd800 && value <= 0xdfff) || value > 0x10ffff)
        return false;
    code = value;
    i += length;
    return true;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xc0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xe0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (c & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (c & 0x3f));
    }
}

}  // namespace framework
