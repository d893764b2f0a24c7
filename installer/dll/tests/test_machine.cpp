// The exports on this machine, checked against what the kernel reports by
// other means, and the processor feature mapping on given CPUID values.
#include <gtest/gtest.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "QDVsetup.h"
#include "installer/dll/src/CpuFeatures.h"
#include "installer/dll/tests/support_faketree.h"

using faketree::TraceCapture;

namespace {

// The words of the first "flags" line of /proc/cpuinfo.
std::set<std::string> firstProcessorFlags() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);) {
    if (line.rfind("flags", 0) == 0) {
      std::istringstream words(line.substr(line.find(':') + 1));
      return {std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
    }
  }
  return {};
}

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t pos = text.find(what); pos != std::string::npos;
       pos = text.find(what, pos + 1)) {
    ++n;
  }
  return n;
}

TEST(Machine, SystemInfoAgreesWithTheKernel) {
  auto info = std::make_unique<SystemInfo>();
  ASSERT_EQ(getSystemInfo(info.get()), 0);
  utsname names{};
  ASSERT_EQ(uname(&names), 0);
  EXPECT_STREQ(info->osVersion, names.release);
  EXPECT_EQ(info->cpuCount, static_cast<std::uint32_t>(sysconf(_SC_NPROCESSORS_ONLN)));
  struct sysinfo memory {};
  ASSERT_EQ(sysinfo(&memory), 0);
  EXPECT_EQ(info->memoryMB,
            static_cast<std::uint32_t>((std::uint64_t{memory.totalram} * memory.mem_unit) >> 20));
  EXPECT_NE(info->osCaption[0], '\0');
  EXPECT_LE(info->videoCount, 32u);
}

TEST(Machine, FeatureTestsMatchTheFirstProcessorsFlags) {
  const std::set<std::string> flags = firstProcessorFlags();
  ASSERT_FALSE(flags.empty());
  const struct {
    const char* flag;
    int32_t (*test)(void);
    int32_t bit;
  } tests[] = {{"mmx", isMMX, 0x01},     {"sse", isSSE, 0x02},     {"sse2", isSSE2, 0x04},
               {"pni", isSSE3, 0x08},    {"ssse3", isSSSE3, 0x10}, {"sse4_1", isSSE41, 0x20},
               {"sse4_2", isSSE42, 0x40}};
  for (const auto& t : tests) {
    EXPECT_EQ(t.test(), flags.count(t.flag) ? t.bit : 0) << t.flag;
  }
}

TEST(Machine, EachFeatureTestAsksTheProcessorAgain) {
  TraceCapture capture;
  isSSE2();
  isSSE2();
  isMMX();
  const std::string trace = capture.finish();
  EXPECT_EQ(count(trace, "HighestFeature CPU="), 3u) << trace;
}

TEST(Machine, NoEmulationForA64BitProcess) {
  TraceCapture capture;
  EXPECT_EQ(isWow64(), 0);
  EXPECT_EQ(capture.finish(), " isWow64() return 0 \n");
}

TEST(CpuFeatureMapping, BitsOfLeafOne) {
  using qdvsetup::featureFlagsFromCpuid;
  constexpr std::uint32_t kAllEdx = (1u << 23) | (1u << 25) | (1u << 26);
  constexpr std::uint32_t kAllEcx = (1u << 0) | (1u << 9) | (1u << 19) | (1u << 20);
  const struct {
    std::uint32_t highest, ecx, edx, flags;
  } cases[] = {
      {0, kAllEcx, kAllEdx, 0},  // no leaf 1: no extension
      {1, kAllEcx, kAllEdx, 0x7F}, {22, ~0u, ~0u, 0x7F},
      {1, 0, 1u << 23, 0x01},      // MMX alone gives 1
      {1, 0, 1u << 26, 0x04},      // SSE2 alone gives 4
      {1, 1u << 19, 0, 0x20},      // SSE4.1 without SSE4.2
      {1, ~kAllEcx, ~kAllEdx, 0},  // every other bit set
  };
  for (const auto& c : cases) {
    EXPECT_EQ(featureFlagsFromCpuid(c.highest, c.ecx, c.edx), c.flags)
        << c.highest << " " << c.ecx << " " << c.edx;
  }
}

}  // namespace
