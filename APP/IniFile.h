// Read-only INI file: "[Section]" headers and "Key=Value" lines. Section and
// key names match without regard to case; blanks around names and values are
// dropped; lines starting with ';' are comments. The file is read anew on
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
  QString ReadString(const QString& section, const QString& key,
                     const QString& defaultValue) const;

 private:
  struct Entry {
    QString section;
    QString key;  // empty for a section header
    QString value;
  };
  QList<Entry> Parse() const;

  QString fileName_;
};

#endif
