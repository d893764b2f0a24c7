// Decoding UTF-8 one character at a time, shared by the shell-link writer
// and the setup library's text fields.
#ifndef PLATFORM_UTF8_H
#define PLATFORM_UTF8_H

#include <cstddef>
#include <optional>
#include <string_view>

namespace platform {

// Decodes the UTF-8 sequence at text[pos] (pos < text.size()); advances pos
// by the bytes used. An invalid sequence (bad lead, missing or bad
// continuation, overlong form, surrogate, beyond U+10FFFF) uses one byte and
// yields nothing.
std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t& pos);

}  // namespace platform

#endif
