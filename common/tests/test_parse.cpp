// Text to numbers: "." whatever the locale, blanks around the number,
// ranges, and everything that is not a finite number refused.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>

#include "common/Parse.h"

namespace {

TEST(Parse, IntegersInRangeOnly) {
  struct Case {
    const char* text;
    bool signedOk;
    std::int32_t signedValue;
    bool unsignedOk;
    std::uint32_t unsignedValue;
  };
  const Case cases[] = {
      {"0", true, 0, true, 0},
      {" 42 ", true, 42, true, 42},
      {"+7", true, 7, true, 7},
      {"-4000", true, -4000, false, 0},
      {"2147483647", true, 2147483647, true, 2147483647u},
      {"2147483648", false, 0, true, 2147483648u},
      {"-2147483648", true, INT32_MIN, false, 0},
      {"4294967295", false, 0, true, 4294967295u},
      {"4294967296", false, 0, false, 0},
      {"", false, 0, false, 0},
      {"abc", false, 0, false, 0},
      {"12a", false, 0, false, 0},
      {"1 2", false, 0, false, 0},
      {"+-1", false, 0, false, 0},
      {"1.0", false, 0, false, 0},
      {"\xd9\xa3", false, 0, false, 0},  // an Arabic-Indic digit
  };
  for (const Case& c : cases) {
    std::int32_t s = 99;
    std::uint32_t u = 99;
    const QString text = QString::fromUtf8(c.text);
    EXPECT_EQ(ParseInt32(text, s), c.signedOk) << c.text;
    EXPECT_EQ(s, c.signedOk ? c.signedValue : 99) << c.text;
    EXPECT_EQ(ParseUInt32(text, u), c.unsignedOk) << c.text;
    EXPECT_EQ(u, c.unsignedOk ? c.unsignedValue : 99u) << c.text;
  }
}

TEST(Parse, RealsWithAPointAndFiniteOnly) {
  // A locale with a decimal comma must not change what is read.
  std::setlocale(LC_ALL, "de_DE.UTF-8");
  struct Case {
    const char* text;
    bool ok;
    double value;
  };
  const Case cases[] = {
      {"2.5", true, 2.5},  {" 50.0 ", true, 50.0}, {"-.5", true, -0.5}, {"+1e3", true, 1000.0},
      {"7", true, 7.0},    {"2,5", false, 0},      {"", false, 0},      {"inf", false, 0},
      {"-INF", false, 0},  {"nan", false, 0},      {"1e400", false, 0}, {"0x10", false, 0},
      {"1.5.2", false, 0}, {"abc", false, 0},
  };
  for (const Case& c : cases) {
    double v = -1.0;
    EXPECT_EQ(ParseReal(QString::fromLatin1(c.text), v), c.ok) << c.text;
    EXPECT_EQ(v, c.ok ? c.value : -1.0) << c.text;
  }
  std::setlocale(LC_ALL, "C");
}

TEST(Parse, ConversionErrorTexts) {
  EXPECT_EQ(NotAnIntegerText("abc"), "'abc' is not a valid integer value");
  EXPECT_EQ(NotARealText("1,5"), "'1,5' is not a valid floating point value");
  // Texts from files: control characters shown as '?', long ones cut.
  EXPECT_EQ(NotAnIntegerText(QString::fromLatin1("1\x01\x7f\n2")),
            "'1???2' is not a valid integer value");
  EXPECT_EQ(NotARealText(QString(63, '9')),
            "'" + QString(63, '9') + "' is not a valid floating point value");
  EXPECT_EQ(NotARealText(QString(10 << 20, '9')),
            "'" + QString(60, '9') + "...' is not a valid floating point value");
}

}  // namespace
