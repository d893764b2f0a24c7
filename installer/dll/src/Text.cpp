#include "installer/dll/src/Text.h"

#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/utf8.h"

namespace qdvsetup {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    c = kReplacement;
  }
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

std::wstring toWide(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    out += static_cast<wchar_t>(platform::DecodeUtf8(utf8, pos).value_or(kReplacement));
  }
  return out;
}

std::string toUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (const wchar_t c : text) {
    appendUtf8(out, static_cast<char32_t>(c));
  }
  return out;
}

void copyField(char* field, std::size_t size, std::string_view utf8) {
  assert(size > 0);
  std::string clean;
  for (std::size_t pos = 0; pos < utf8.size();) {
    const std::size_t before = clean.size();
    const std::optional<char32_t> c = platform::DecodeUtf8(utf8, pos);
    appendUtf8(clean, c && !isControl(*c) ? *c : U'?');
    if (clean.size() > size - 1) {
      clean.resize(before);
      break;
    }
  }
  std::memset(field, 0, size);
  std::memcpy(field, clean.data(), clean.size());
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && isBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

namespace {

// Digits of `base` only, at least one, accumulated with overflow checks.
std::optional<std::uint64_t> parseDigits(std::string_view digits, unsigned base) {
  if (digits.empty()) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (const char ch : digits) {
    unsigned digit = 0;
    if (ch >= '0' && ch <= '9') {
      digit = static_cast<unsigned>(ch - '0');
    } else if (base == 16 && ch >= 'a' && ch <= 'f') {
      digit = static_cast<unsigned>(ch - 'a' + 10);
    } else if (base == 16 && ch >= 'A' && ch <= 'F') {
      digit = static_cast<unsigned>(ch - 'A' + 10);
    } else {
      return std::nullopt;
    }
    if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / base) {
      return std::nullopt;
    }
    value = value * base + digit;
  }
  return value;
}

}  // namespace

std::optional<std::uint64_t> parseDecimal(std::string_view text) {
  return parseDigits(trim(text), 10);
}

std::optional<std::uint64_t> parseHex(std::string_view text) {
  text = trim(text);
  if (text.size() < 2 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) {
    return std::nullopt;
  }
  return parseDigits(text.substr(2), 16);
}

std::optional<std::uint64_t> parseRoundedReal(std::string_view text) {
  text = trim(text);
  const std::size_t dot = text.find('.');
  const std::optional<std::uint64_t> whole = parseDigits(text.substr(0, dot), 10);
  if (!whole) {
    return std::nullopt;
  }
  if (dot == std::string_view::npos) {
    return whole;
  }
  const std::string_view fraction = text.substr(dot + 1);
  if (!fraction.empty() && !parseDigits(fraction, 10)) {
    return std::nullopt;
  }
  // Only the fraction decides the rounding: above one half rounds up, exactly
  // one half rounds to the even neighbour.
  const char first = fraction.empty() ? '0' : fraction[0];
  const bool restNonZero =
      fraction.size() > 1 && fraction.find_first_not_of('0', 1) != std::string_view::npos;
  const bool roundUp = first > '5' || (first == '5' && (restNonZero || (*whole & 1) != 0));
  if (roundUp && *whole == std::numeric_limits<std::uint64_t>::max()) {
    return std::nullopt;
  }
  return *whole + (roundUp ? 1 : 0);
}

std::uint32_t saturate32(std::uint64_t value) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
  return static_cast<std::uint32_t>(value < kMax ? value : kMax);
}

}  // namespace qdvsetup
