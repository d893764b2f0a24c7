#include "APP/camera/IniFile.h"

#include "common/RegularFile.h"

namespace {
// Far beyond any file of register sets; a larger file (or a device, or a
// FIFO, which would block) reads as no file at all.
constexpr std::int64_t IniFileLimit = 1024 * 1024;
}  // namespace

TIniFile::TIniFile(const QString& fileName) : fileName_(fileName) {}

QList<TIniFile::Entry> TIniFile::Parse() const {
  QList<Entry> entries;
  QByteArray text;
  QString why;
  if (!ReadSmallFile(fileName_, IniFileLimit, text, why)) return entries;
  QString section;
  bool inSection = false;
  for (const QByteArray& bytes : text.split('\n')) {
    const QString line = QString::fromLatin1(bytes).trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char(';'))) continue;
    if (line.startsWith(QLatin1Char('['))) {
      const qsizetype close = line.indexOf(QLatin1Char(']'));
      section = (close < 0 ? line.mid(1) : line.mid(1, close - 1)).trimmed();
      inSection = true;
      entries.append(Entry{section, QString(), QString()});
      continue;
    }
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    const QString key = line.left(equals).trimmed();
    if (!inSection || equals < 0 || key.isEmpty()) continue;
    QString value = line.mid(equals + 1).trimmed();
    // A value enclosed in matching quotes is read without them.
    if (value.size() >= 2 &&
        ((value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) ||
         (value.startsWith(QLatin1Char('\'')) && value.endsWith(QLatin1Char('\''))))) {
      value = value.mid(1, value.size() - 2);
    }
    entries.append(Entry{section, key, value});
  }
  return entries;
}

QStringList TIniFile::ReadSections() const {
  QStringList sections;
  for (const Entry& entry : Parse()) {
    if (!entry.key.isEmpty()) continue;
    bool known = false;
    for (const QString& name : sections) {
      if (name.compare(entry.section, Qt::CaseInsensitive) == 0) known = true;
    }
    if (!known) sections.append(entry.section);
  }
  return sections;
}

bool TIniFile::SectionExists(const QString& section) const {
  for (const Entry& entry : Parse()) {
    if (entry.section.compare(section, Qt::CaseInsensitive) == 0) return true;
  }
  return false;
}

const TIniFile::Entry* TIniFile::Find(const QList<Entry>& entries, const QString& section,
                                      const QString& key) {
  // The first section of the name is the one read; later ones are skipped.
  qsizetype i = 0;
  while (i < entries.size() && !(entries[i].key.isEmpty() &&
                                 entries[i].section.compare(section, Qt::CaseInsensitive) == 0)) {
    ++i;
  }
  for (++i; i < entries.size() && !entries[i].key.isEmpty(); ++i) {
    if (entries[i].key.compare(key, Qt::CaseInsensitive) == 0) return &entries[i];
  }
  return nullptr;
}

bool TIniFile::ValueExists(const QString& section, const QString& key) const {
  return Find(Parse(), section, key) != nullptr;
}

QString TIniFile::ReadString(const QString& section, const QString& key,
                             const QString& defaultValue) const {
  const QList<Entry> entries = Parse();
  const Entry* entry = Find(entries, section, key);
  return entry != nullptr ? entry->value : defaultValue;
}
