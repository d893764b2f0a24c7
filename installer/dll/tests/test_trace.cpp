// Trace messages: cut at 255 characters, wide strings by %ls, numbers in the
// C locale whatever the host chose, nothing without QDVSETUP_TRACE.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "installer/dll/src/Trace.h"
#include "installer/dll/tests/support_faketree.h"

using faketree::TraceCapture;

namespace {

TEST(Trace, LongMessageIsCutAt255Characters) {
  const std::wstring long_text(300, L'\x00E9');  // two UTF-8 bytes each
  TraceCapture capture;
  traceMessage(L"<%ls>", long_text.c_str());
  std::string expected = "<";  // and the first 254 characters of the text
  for (int i = 0; i < 254; ++i) {
    expected += "\xC3\xA9";
  }
  EXPECT_EQ(capture.finish(), expected);
}

TEST(Trace, WideStringsAndNumbers) {
  TraceCapture capture;
  traceMessage(L"%ls:%d %08Xh %llu \n",
               L"Gr\x00FC\x00DF"
               L"e \x20AC",
               -7, 0x80041001u, 18446744073709551615ull);
  EXPECT_EQ(capture.finish(),
            "Gr\xC3\xBC\xC3\x9F"
            "e \xE2\x82\xAC:-7 80041001h 18446744073709551615 \n");
}

TEST(Trace, NothingWithoutTheVariable) {
  testing::internal::CaptureStderr();
  traceMessage(L"hidden %d\n", 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// A locale with a decimal comma is built for the test, as few are installed.
TEST(Trace, PointAsSeparatorUnderACommaLocale) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("qdvsetup-locale-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string build =
      "localedef -i de_DE -f UTF-8 '" + (dir / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
  const bool built = std::system(build.c_str()) == 0;
  setenv("LOCPATH", dir.c_str(), 1);
  const char* chosen = built ? std::setlocale(LC_ALL, "de_DE.UTF-8") : nullptr;
  char check[16];
  std::snprintf(check, sizeof check, "%.1f", 1.5);
  std::string trace;
  if (chosen && std::string(check) == "1,5") {
    TraceCapture capture;
    traceMessage(L"%.2f %ls\n", 2.25, L"x");
    trace = capture.finish();
  }
  std::setlocale(LC_ALL, "C");
  unsetenv("LOCPATH");
  std::filesystem::remove_all(dir);
  if (!chosen) {
    GTEST_SKIP() << "no locale with a decimal comma can be built here";
  }
  EXPECT_EQ(trace, "2.25 x\n");
}

}  // namespace
