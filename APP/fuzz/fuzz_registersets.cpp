// The INI register-set reader on hostile files: the file's sections, and for
// each of the first few its "Regs" list split into items and read as
// register words, as loading a register set does.
#include <cstdint>
#include <cstdlib>

#include <QString>
#include <QStringList>

#include <sys/mman.h>
#include <unistd.h>

#include "IniFile.h"
#include "RegisterSets.h"

namespace {

// The input is written to one in-memory file, which TIniFile opens by name.
int InputFile() {
  static const int fd = memfd_create("registersets.ini", 0);
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int fd = InputFile();
  if (fd < 0 || ftruncate(fd, 0) != 0) std::abort();
  if (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
  const TIniFile ini(QStringLiteral("/proc/self/fd/%1").arg(fd));
  const QStringList sections = ini.ReadSections();
  const QString key = QStringLiteral("Regs");
  for (qsizetype i = 0; i < sections.size() && i < 8; ++i) {
    if (!ini.SectionExists(sections[i])) std::abort();  // a listed section exists
    if (!ini.ValueExists(sections[i], key)) continue;
    for (const QString& item : SplitCommaText(ini.ReadString(sections[i], key, QString())))
      (void)RegisterWordFromHex(item);
  }
  return 0;
}
