// qdvsetup-info: the setup library's findings for installer scripts, one
// "name=value" line per record field in record order, then the processor and
// emulation tests. Exits with the probe's result (0 when every step worked).
//
//   qdvsetup-info [ROOT]     ROOT: the directory the system files are read
//                            below, "/" when not given
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>

#include "QDVsetup.h"
#include "SystemProbe.h"

namespace {

void printText(const char* name, const char* value) {
  std::printf("%s=%s\n", name, value);
}

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

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2) {
    std::fprintf(stderr, "usage: qdvsetup-info [ROOT]\n");
    return 2;
  }
  const std::string root = argc == 2 ? argv[1] : "/";
  auto info = std::make_unique<SystemInfo>();
  const std::int32_t result = qdvsetup::probeSystem(*info, root);
  printRecord(*info);
  for (const FeatureTest& t : kTests) {
    std::printf("%s=%" PRId32 "\n", t.name, t.test());
  }
  return result;
}
