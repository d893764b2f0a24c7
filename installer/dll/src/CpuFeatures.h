// Processor instruction-set extensions read with CPUID.
#pragma once

#include <cstdint>

namespace qdvsetup {

// The bits of the extension set, as the is... exports return them.
enum CpuFeature : std::uint32_t {
  kFeatureMMX = 0x01,
  kFeatureSSE = 0x02,
  kFeatureSSE2 = 0x04,
  kFeatureSSE3 = 0x08,
  kFeatureSSSE3 = 0x10,
  kFeatureSSE41 = 0x20,
  kFeatureSSE42 = 0x40,
};

// The extension set from CPUID leaf 0's highest leaf and leaf 1's ECX and
// EDX; a processor without leaf 1 offers none.
std::uint32_t featureFlagsFromCpuid(std::uint32_t highestLeaf, std::uint32_t ecx,
                                    std::uint32_t edx);

// Asks this processor afresh and traces its highest leaf.
std::uint32_t cpuFeatureFlags();

}  // namespace qdvsetup
