#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "common/Format.h"

namespace {

// Texts around the formatter's 128-byte stack buffer come out whole, with
// "." as separator even when the process locale would use a comma.
TEST(Format, TextsAroundTheStackBufferAreWhole) {
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // where installed
  for (const int length : {127, 128, 129, 4000}) {
    const std::string body(static_cast<size_t>(length - 4), 'x');
    const QString text = FormatText("%s%.2f", body.c_str(), 1.5);
    EXPECT_EQ(text.size(), length);
    EXPECT_EQ(text, QString::fromStdString(body) + "1.50") << length;
  }
  std::setlocale(LC_NUMERIC, "C");
}

}  // namespace
