#include "installer/dll/src/CpuFeatures.h"

#include <cpuid.h>

#include <array>

#include "QDVsetup.h"
#include "installer/dll/src/Trace.h"

namespace qdvsetup {
namespace {

enum class CpuidRegister { ECX, EDX };

struct FeatureBit {
  CpuFeature feature;
  CpuidRegister reg;
  unsigned bit;
};

// Where leaf 1 reports each extension.
constexpr std::array<FeatureBit, 7> kFeatureBits{{
    {kFeatureMMX, CpuidRegister::EDX, 23},
    {kFeatureSSE, CpuidRegister::EDX, 25},
    {kFeatureSSE2, CpuidRegister::EDX, 26},
    {kFeatureSSE3, CpuidRegister::ECX, 0},
    {kFeatureSSSE3, CpuidRegister::ECX, 9},
    {kFeatureSSE41, CpuidRegister::ECX, 19},
    {kFeatureSSE42, CpuidRegister::ECX, 20},
}};

std::int32_t featureTest(CpuFeature feature) {
  return static_cast<std::int32_t>(cpuFeatureFlags() & feature);
}

}  // namespace

std::uint32_t featureFlagsFromCpuid(std::uint32_t highestLeaf, std::uint32_t ecx,
                                    std::uint32_t edx) {
  if (highestLeaf < 1) {
    return 0;
  }
  std::uint32_t flags = 0;
  for (const FeatureBit& f : kFeatureBits) {
    const std::uint32_t value = f.reg == CpuidRegister::ECX ? ecx : edx;
    if ((value >> f.bit) & 1u) {
      flags |= f.feature;
    }
  }
  return flags;
}

std::uint32_t cpuFeatureFlags() {
  const unsigned highestLeaf = __get_cpuid_max(0, nullptr);
  traceMessage(L"HighestFeature CPU=%d \n", static_cast<int>(highestLeaf));
  if (highestLeaf < 1) {
    return 0;
  }
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  __cpuid_count(1, 0, eax, ebx, ecx, edx);
  return featureFlagsFromCpuid(highestLeaf, ecx, edx);
}

}  // namespace qdvsetup

using qdvsetup::featureTest;

extern "C" {

int32_t isMMX(void) { return featureTest(qdvsetup::kFeatureMMX); }
int32_t isSSE(void) { return featureTest(qdvsetup::kFeatureSSE); }
int32_t isSSE2(void) { return featureTest(qdvsetup::kFeatureSSE2); }
int32_t isSSE3(void) { return featureTest(qdvsetup::kFeatureSSE3); }
int32_t isSSSE3(void) { return featureTest(qdvsetup::kFeatureSSSE3); }
int32_t isSSE41(void) { return featureTest(qdvsetup::kFeatureSSE41); }
int32_t isSSE42(void) { return featureTest(qdvsetup::kFeatureSSE42); }

// This library is built for 64-bit processes only, and a 64-bit process is
// never run under 32-bit emulation.
int32_t isWow64(void) {
  const int32_t flag = 0;
  traceMessage(L" isWow64() return %d \n", flag);
  return flag;
}
}
