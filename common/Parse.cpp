#include "common/Parse.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace {

// The number's characters, blanks around it dropped; empty when the text
// holds anything but ASCII.
QByteArray NumberChars(const QString& text) {
  const QString trimmed = text.trimmed();
  for (QChar c : trimmed)
    if (c.unicode() > 0x7f) return {};
  return trimmed.toLatin1();
}

// from_chars takes no "+"; a "+" before a digit or "." is dropped here.
const char* SkipPlus(const char* first, const char* last) {
  if (last - first >= 2 && first[0] == '+' && first[1] != '-' && first[1] != '+') return first + 1;
  return first;
}

template <class Int>
bool ParseInteger(const QString& text, Int& value) {
  const QByteArray chars = NumberChars(text);
  const char* last = chars.constData() + chars.size();
  const char* first = SkipPlus(chars.constData(), last);
  Int parsed{};
  const auto [end, error] = std::from_chars(first, last, parsed, 10);
  if (chars.isEmpty() || error != std::errc() || end != last) return false;
  value = parsed;
  return true;
}

}  // namespace

bool ParseInt32(const QString& text, std::int32_t& value) { return ParseInteger(text, value); }

bool ParseUInt32(const QString& text, std::uint32_t& value) { return ParseInteger(text, value); }

bool ParseReal(const QString& text, double& value) {
  const QByteArray chars = NumberChars(text);
  const char* last = chars.constData() + chars.size();
  const char* first = SkipPlus(chars.constData(), last);
  double parsed = 0.0;
  const auto [end, error] = std::from_chars(first, last, parsed, std::chars_format::general);
  if (chars.isEmpty() || error != std::errc() || end != last || !std::isfinite(parsed))
    return false;
  value = parsed;
  return true;
}

namespace {

// The rejected text as a message shows it: a file may hand over megabytes
// or binary bytes, so control characters become '?' and a long text is cut
// to its first 60 characters and "...".
QString ShownInput(const QString& text) {
  constexpr qsizetype Longest = 63;
  QString shown = text.size() > Longest ? text.left(Longest - 3) + QStringLiteral("...") : text;
  for (QChar& c : shown)
    if (c.category() == QChar::Other_Control) c = QLatin1Char('?');
  return shown;
}

}  // namespace

QString NotAnIntegerText(const QString& text) {
  return QStringLiteral("'%1' is not a valid integer value").arg(ShownInput(text));
}

QString NotARealText(const QString& text) {
  return QStringLiteral("'%1' is not a valid floating point value").arg(ShownInput(text));
}
