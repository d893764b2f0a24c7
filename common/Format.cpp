#include "common/Format.h"

#include <locale.h>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

// The "C" locale, created once and installed for the calling thread only
// while one text is formatted (uselocale is per thread, so formatting never
// disturbs other threads or the process-wide locale).
locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

QString FormatList(const char* format, va_list args) {
  const locale_t previous = uselocale(CLocale());
  char small[128];
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  QString text;
  if (length < 0) {
    text = QString();
  } else if (static_cast<size_t>(length) < sizeof small) {
    text = QString::fromLatin1(small, length);
  } else {
    std::vector<char> large(static_cast<size_t>(length) + 1);
    std::vsnprintf(large.data(), large.size(), format, args);
    text = QString::fromLatin1(large.data(), length);
  }
  uselocale(previous);
  return text;
}

}  // namespace

QString FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  QString text = FormatList(format, args);
  va_end(args);
  return text;
}

QString FormatFloat(const char* format, double value) { return FormatText(format, value); }
