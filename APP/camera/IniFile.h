// Read-only INI file with the rules of the system's profile files:
// "[Section]" headers and "Key=Value" lines; section and key names match
// without regard to case; blanks around names and values are dropped, and so
// is one pair of matching quotes around a value; lines starting with ';' are
// comments, lines before the first section and lines without '=' are
// ignored. When a section name occurs more than once, only its first section
// is read, and within it the first line of a key. The file is read anew on
// every query, so a missing file simply has no sections.
#ifndef APP_INIFILE_H
#define APP_INIFILE_H

#include <QString>
#include <QStringList>

class TIniFile {
 public:
  explicit TIniFile(const QString& fileName);

  const QString& FileName() const { return fileName_; }
  // Section names in file order (each name once).
  QStringList ReadSections() const;
  bool SectionExists(const QString& section) const;
  bool ValueExists(const QString& section, const QString& key) const;
  QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;

 private:
  struct Entry {
    QString section;
    QString key;  // empty for a section header
    QString value;
  };
  QList<Entry> Parse() const;
  // The key's line in the first section of the name; null when none.
  static const Entry* Find(const QList<Entry>& entries, const QString& section, const QString& key);

  QString fileName_;
};

#endif
