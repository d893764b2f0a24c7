// The INI register-set reader on hostile files: the file's sections, and the
// first few loaded as the Register Sets menu loads them, their "Regs" lists
// split into register words and sent to the simulated camera.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include <QString>
#include <QStringList>

#include <sys/mman.h>
#include <unistd.h>

#include "APP/camera/IniFile.h"
#include "APP/tests/AppTestSupport.h"

namespace {

// The input is written to one in-memory file, which TIniFile opens by name.
int InputFile() {
  static const int fd = memfd_create("registersets.ini", 0);
  return fd;
}

}  // namespace

// The controller and camera object on the simulated camera, made once
// before the inputs run (so that they are not taken for leaks of the first).
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  TestApplication();
  simcam::SimCamera& camera = simcam::Install();
  camera.PowerOn();
  camera.SetTiming(simcam::Timing::Deterministic);
  AppCommand = new TAppCommand();
  AppCommand->MainView = new FakeMainView;
  CameraDevice = new TCamera();
  AppCommand->IniFile =
      std::make_unique<TIniFile>(QStringLiteral("/proc/self/fd/%1").arg(InputFile()));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int fd = InputFile();
  if (fd < 0 || ftruncate(fd, 0) != 0) std::abort();
  if (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
  QStringList sections;
  AppCommand->GetRegisterSets(sections);
  for (qsizetype i = 0; i < sections.size() && i < 8; ++i) {
    if (!AppCommand->IniFile->SectionExists(sections[i])) std::abort();  // a listed section exists
    AppCommand->LoadRegisterSet(sections[i]);
  }
  return 0;
}
