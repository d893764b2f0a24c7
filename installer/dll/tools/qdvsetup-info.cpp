// qdvsetup-info: the setup library's findings for installer scripts, one
// "name=value" line per record field in record order, then the processor and
// emulation tests. Exits with the probe's result (0 when every step worked).
//
//   qdvsetup-info [--scimark2] [ROOT]
//       ROOT: the directory the system files are read below, "/" when not given
//       --scimark2: also run the benchmark (a few seconds) and print its
//       composite and kernel scores
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>

#include "QDVsetup.h"
#include "installer/dll/src/SystemProbe.h"

namespace {

void printText(const char* name, const char* value) { std::printf("%s=%s\n", name, value); }

void printNumber(const char* name, std::uint32_t value) {
  std::printf("%s=%" PRIu32 "\n", name, value);
}

void printRecord(const SystemInfo& info) {
  printText("osCaption", info.osCaption);
  printText("osVersion", info.osVersion);
  printNumber("osMajor", info.osMajor);
  printNumber("osMinor", info.osMinor);
  printNumber("servicePack", info.servicePack);
  printNumber("memoryMB", info.memoryMB);
  printText("cpuName", info.cpuName);
  printText("cpuManufacturer", info.cpuManufacturer);
  printText("cpuCaption", info.cpuCaption);
  printNumber("cpuCount", info.cpuCount);
  printNumber("cpuClockMHz", info.cpuClockMHz);
  printNumber("usb2Hosts", info.usb2Hosts);
  printNumber("usbViaHosts", info.usbViaHosts);
  printNumber("gigabitNics", info.gigabitNics);
  printNumber("intelGigabitNics", info.intelGigabitNics);
  printNumber("videoCount", info.videoCount);
  for (std::uint32_t i = 0; i < info.videoCount && i < QDVSETUP_MAX_VIDEO_ADAPTERS; ++i) {
    std::printf("videoAdapters[%" PRIu32 "].caption=%s\n", i, info.videoAdapters[i].caption);
    std::printf("videoAdapters[%" PRIu32 "].memoryMB=%" PRIu32 "\n", i,
                info.videoAdapters[i].memoryMB);
  }
}

struct FeatureTest {
  const char* name;
  int32_t (*test)(void);
};

constexpr FeatureTest kTests[] = {
    {"isMMX", isMMX},     {"isSSE", isSSE},     {"isSSE2", isSSE2},   {"isSSE3", isSSE3},
    {"isSSSE3", isSSSE3}, {"isSSE41", isSSE41}, {"isSSE42", isSSE42}, {"isWow64", isWow64},
};

// The benchmark's composite score, then each kernel's.
void printScimark2() {
  std::int32_t fft = 0, sor = 0, monteCarlo = 0, sparse = 0, lu = 0;
  const std::int32_t composite = Scimark2(&fft, &sor, &monteCarlo, &sparse, &lu);
  // Scores are never negative.
  printNumber("Scimark2", static_cast<std::uint32_t>(composite));
  printNumber("fft", static_cast<std::uint32_t>(fft));
  printNumber("sor", static_cast<std::uint32_t>(sor));
  printNumber("monteCarlo", static_cast<std::uint32_t>(monteCarlo));
  printNumber("sparse", static_cast<std::uint32_t>(sparse));
  printNumber("lu", static_cast<std::uint32_t>(lu));
}

}  // namespace

int main(int argc, char** argv) {
  const bool scimark2 = argc > 1 && std::string(argv[1]) == "--scimark2";
  if (scimark2) {
    --argc;
    ++argv;
  }
  if (argc > 2) {
    std::fprintf(stderr, "usage: qdvsetup-info [--scimark2] [ROOT]\n");
    return 2;
  }
  const std::string root = argc == 2 ? argv[1] : "/";
  auto info = std::make_unique<SystemInfo>();
  const std::int32_t result = qdvsetup::probeSystem(*info, root);
  printRecord(*info);
  for (const FeatureTest& t : kTests) {
    std::printf("%s=%" PRId32 "\n", t.name, t.test());
  }
  if (scimark2) {
    printScimark2();
  }
  return result;
}
