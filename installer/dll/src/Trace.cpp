#include "installer/dll/src/Trace.h"

#include <unistd.h>

#include <locale.h>
#include <clocale>
#include <cstdarg>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "installer/dll/src/Text.h"
#include "platform/fdwrite.h"

namespace {

// Messages are formatted in full before they are cut; this bounds the work a
// runaway argument can cause.
constexpr std::size_t kFormatLimit = std::size_t{1} << 20;

bool tracingEnabled() { return std::getenv("QDVSETUP_TRACE") != nullptr; }

// The C locale for this thread while it lives, so that numbers are formatted
// with "." whatever locale the host program has chosen.
class ScopedCLocale {
 public:
  ScopedCLocale() : previous_(cLocale() ? uselocale(cLocale()) : nullptr) {}
  ~ScopedCLocale() {
    if (previous_) {
      uselocale(previous_);
    }
  }
  ScopedCLocale(const ScopedCLocale&) = delete;
  ScopedCLocale& operator=(const ScopedCLocale&) = delete;

 private:
  static locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return locale;
  }
  locale_t previous_;
};

// vswprintf reports an overflow only by its result (and leaves the buffer
// unterminated), so the buffer grows until the whole message fits; a message
// that cannot be formatted at all is nothing.
std::optional<std::wstring> formatMessage(const wchar_t* format, va_list args) {
  ScopedCLocale cLocale;
  std::vector<wchar_t> buffer(256);
  for (;;) {
    va_list copy;
    va_copy(copy, args);
    const int written = std::vswprintf(buffer.data(), buffer.size(), format, copy);
    va_end(copy);
    if (written >= 0) {
      return std::wstring(buffer.data(), static_cast<std::size_t>(written));
    }
    if (buffer.size() >= kFormatLimit) {
      return std::nullopt;
    }
    buffer.resize(buffer.size() * 2);
  }
}

void emit(std::wstring_view message) {
  const std::string text = qdvsetup::toUtf8(message);
  // One write per message, so that messages of several threads do not mix;
  // a message that cannot be written is lost without a word.
  platform::WriteFully(STDERR_FILENO, text.data(), text.size());
}

}  // namespace

void traceMessage(const wchar_t* format, ...) {
  if (!tracingEnabled()) {
    return;
  }
  va_list args;
  va_start(args, format);
  std::optional<std::wstring> message = formatMessage(format, args);
  va_end(args);
  if (!message) {
    return;
  }
  if (message->size() > qdvsetup::kTraceMessageMax) {
    message->resize(qdvsetup::kTraceMessageMax);
  }
  emit(*message);
}
