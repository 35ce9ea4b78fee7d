#pragma once
// UTF-8, read one code point at a time.

#include <cstddef>
#include <string>
#include <string_view>

namespace framework {

// Decodes the code point that starts at bytes[i] and, when it is valid, moves i past it.
// Overlong forms, surrogates, values past U+10FFFF and cut-off sequences are not valid; then
// i stays where it was.
bool decodeUtf8(std::string_view bytes, std::size_t& i, char32_t& code);

// Appends the UTF-8 form of one code point (which must be valid).
void appendUtf8(std::string& out, char32_t code);

}  // namespace framework
