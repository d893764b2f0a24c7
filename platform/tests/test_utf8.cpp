// UTF-8 decoding, one character at a time: the shortest form of each length
// is taken; overlong forms, surrogates, values past U+10FFFF, stray
// continuation bytes and cut sequences are refused one byte at a time.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/utf8.h"

namespace {

TEST(DecodeUtf8, TakesShortestFormsAndRefusesTheRest) {
  const struct {
    const char* bytes;
    std::optional<char32_t> value;
  } cases[] = {
      {"A", U'A'},
      {"\xC3\xA9", U'\u00E9'},
      {"\xE0\xA0\x80", U'\u0800'},  // the smallest 3-byte value
      {"\xED\x9F\xBF", U'\uD7FF'},  // just below the surrogates
      {"\xF0\x9F\x98\x80", U'\U0001F600'},
      {"\xF4\x8F\xBF\xBF", U'\U0010FFFF'},
      {"\xC1\xBF", std::nullopt},          // overlong 2-byte U+007F
      {"\xE0\x9F\xBF", std::nullopt},      // overlong 3-byte U+07FF
      {"\xED\xA0\x80", std::nullopt},      // a lone high surrogate
      {"\xED\xBF\xBF", std::nullopt},      // a lone low surrogate
      {"\xF0\x8F\xBF\xBF", std::nullopt},  // overlong 4-byte U+FFFF
      {"\xF4\x90\x80\x80", std::nullopt},  // past U+10FFFF
      {"\x80", std::nullopt},              // a continuation byte first
      {"\xE2\x82", std::nullopt},          // cut short
      {"\xE2\x41\x42", std::nullopt},      // a sequence broken by ASCII
  };
  for (const auto& c : cases) {
    const std::string text = c.bytes;
    SCOPED_TRACE(testing::PrintToString(text));
    std::size_t pos = 0;
    EXPECT_EQ(platform::DecodeUtf8(text, pos), c.value);
    EXPECT_EQ(pos, c.value ? text.size() : 1u);
  }
}

}  // namespace
