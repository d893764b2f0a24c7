// Register sets: the section names of the INI file, and sending one set's
// register words to the sensor after a sensor reset.
#include "APP/camera/RegisterSets.h"

#include <QCursor>
#include <QGuiApplication>

#include "APP/control/Commands.h"

namespace {

bool IsBlank(QChar c) { return c.unicode() >= 1 && c.unicode() <= ' '; }

// The value of a hexadecimal digit, -1 for any other character.
int HexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return -1;
}

// The hourglass cursor for the lifetime of the object, where a GUI exists.
class THourglass {
 public:
  THourglass() : shown_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
    if (shown_) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  }
  ~THourglass() {
    if (shown_) QGuiApplication::restoreOverrideCursor();
  }
  THourglass(const THourglass&) = delete;
  THourglass& operator=(const THourglass&) = delete;

 private:
  bool shown_;
};

const QString RegsKey = QStringLiteral("Regs");

}  // namespace

QStringList SplitCommaText(const QString& text) {
  QStringList items;
  // The text ends at a NUL character, as the comma text of the GUI library
  // does; a NUL neither separates nor belongs to an item, so reading past
  // it would make empty items without end.
  const qsizetype nul = text.indexOf(QChar(u'\0'));
  const qsizetype n = nul < 0 ? text.size() : nul;
  qsizetype p = 0;
  auto skipBlanks = [&] {
    while (p < n && IsBlank(text[p])) ++p;
  };
  skipBlanks();
  while (p < n) {
    QString item;
    if (text[p] == QLatin1Char('"')) {
      // Quoted item: up to the closing quote (or the end); "" is one quote.
      for (++p; p < n; ++p) {
        if (text[p] != QLatin1Char('"')) {
          item += text[p];
        } else if (p + 1 < n && text[p + 1] == QLatin1Char('"')) {
          item += text[++p];
        } else {
          ++p;
          break;
        }
      }
    } else {
      const qsizetype start = p;
      while (p < n && text[p] > QLatin1Char(' ') && text[p] != QLatin1Char(',')) ++p;
      item = text.mid(start, p - start);
    }
    items.append(item);
    skipBlanks();
    if (p < n && text[p] == QLatin1Char(',')) {
      if (p + 1 == n) items.append(QString());  // a trailing comma ends with an empty item
      ++p;
      skipBlanks();
    }
  }
  return items;
}

std::uint16_t RegisterWordFromHex(const QString& item) {
  if (item.isEmpty()) return 0;
  std::uint64_t value = 0;
  for (const QChar c : item) {
    const int digit = HexDigit(c);
    if (digit < 0) return 0;
    value = value * 16 + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFu) return 0;
  }
  return static_cast<std::uint16_t>(value & 0xFFFF);
}

void TAppCommand::GetRegisterSets(QStringList& list) {
  list.clear();
  if (IniFile != nullptr) list = IniFile->ReadSections();
}

void TAppCommand::LoadRegisterSet(const QString& name) {
  if (IniFile == nullptr || !IniFile->ValueExists(name, RegsKey)) return;
  const THourglass hourglass;
  const QStringList items = SplitCommaText(IniFile->ReadString(name, RegsKey, QString()));
  if (items.isEmpty()) return;
  // Each call opens the device and reports on its own; a failed write does
  // not stop the list.
  CameraDevice->ResetSensor();
  for (const QString& item : items) {
    if (item.isEmpty()) continue;
    std::uint16_t word = RegisterWordFromHex(item);
    CameraDevice->SetSensorReg(word);
  }
}
