// Text and number helpers for values read from system files: UTF-8 to wide
// text for traces, record fields cut and cleaned, numbers parsed strictly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qdvsetup {

// UTF-8 to wide characters; a byte that starts no valid sequence becomes U+FFFD.
std::wstring toWide(std::string_view utf8);

// Wide characters to UTF-8; a value that is no Unicode scalar becomes U+FFFD.
std::string toUtf8(std::wstring_view text);

// Copies text into a record field of `size` bytes: at most size - 1 bytes cut
// at a character boundary, NUL-terminated, the rest zero; control characters
// and bytes that are not valid UTF-8 become '?'.
void copyField(char* field, std::size_t size, std::string_view utf8);

template <std::size_t N>
void copyField(char (&field)[N], std::string_view utf8) {
  copyField(field, N, utf8);
}

// The text without leading and trailing blanks and line ends.
std::string_view trim(std::string_view text);

// A decimal number of digits only (blanks around it allowed) that fits in 64
// bits; nothing for anything else ("-5", "1e3", "", an overflow).
std::optional<std::uint64_t> parseDecimal(std::string_view text);

// A hexadecimal number written "0x..." that fits in 64 bits.
std::optional<std::uint64_t> parseHex(std::string_view text);

// A non-negative real with "." as separator ("2400.000"), rounded to the
// nearest integer, halves to even; nothing for signs, exponents, inf or nan.
std::optional<std::uint64_t> parseRoundedReal(std::string_view text);

// The value narrowed to 32 bits, saturating at the largest.
std::uint32_t saturate32(std::uint64_t value);

}  // namespace qdvsetup
