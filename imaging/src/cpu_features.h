// What the processor offers, asked once per process, and how much of it the
// library's loops may use. Every vector loop of the library (demosaics, pixel
// stores, colour correction, display conversions) chooses its code through
// these checks and through nothing else, so that one answer holds for the
// whole process.
#ifndef IMAGING_CPU_FEATURES_H
#define IMAGING_CPU_FEATURES_H

#include <atomic>

namespace imaging::cpu {

// The processor's answers, read once. __builtin_cpu_init makes them valid
// even when the first check runs before the runtime's own initialisation
// (from another static initialiser).
struct Features {
  bool ssse3;
  bool avx2;
  bool avx512BwVl;  // the AVX-512 byte and word instructions at every vector width
  bool avx512Vbmi;  // the AVX-512 byte permutations across a whole register
};
inline const Features& Processor() {
  static const Features features = [] {
    __builtin_cpu_init();
    return Features{
        __builtin_cpu_supports("ssse3") != 0, __builtin_cpu_supports("avx2") != 0,
        __builtin_cpu_supports("avx512bw") != 0 && __builtin_cpu_supports("avx512vl") != 0,
        __builtin_cpu_supports("avx512vbmi") != 0};
  }();
  return features;
}

inline bool HasSsse3() { return Processor().ssse3; }
inline bool HasAvx2() { return Processor().avx2; }
inline bool HasAvx512BwVl() { return Processor().avx512BwVl; }
inline bool HasAvx512Vbmi() { return Processor().avx512Vbmi; }

// The vector code the library's inner loops may use: none (the portable
// loops), AVX2, or AVX-512 (the demosaics' AVX2 code compiled with the VL
// and BW extensions, 32 vector registers and mask-register compares and
// blends at the same 256-bit width; the colour correction's 512-bit loops,
// which also need VBMI). All give the same bytes.
enum class Vectors : int { kNone = 0, kAvx2 = 1, kAvx512 = 2 };

inline Vectors SupportedVectors() {
  if (HasAvx512BwVl()) return Vectors::kAvx512;
  return HasAvx2() ? Vectors::kAvx2 : Vectors::kNone;
}

// A process-wide ceiling on the vector code, not per-call state: tests and
// benchmarks lower it to run the other loops on the same machine.
inline std::atomic<int>& VectorCeiling() {
  static std::atomic<int> ceiling{static_cast<int>(Vectors::kAvx512)};
  return ceiling;
}
inline void LimitVectors(Vectors ceiling) {
  VectorCeiling().store(static_cast<int>(ceiling), std::memory_order_relaxed);
}
inline Vectors ActiveVectors() {
  const int ceiling = VectorCeiling().load(std::memory_order_relaxed);
  const int supported = static_cast<int>(SupportedVectors());
  return static_cast<Vectors>(ceiling < supported ? ceiling : supported);
}

}  // namespace imaging::cpu

#endif
