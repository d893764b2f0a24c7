// What the processor offers, asked once per process. Every vector loop of the
// library (demosaics, pixel stores, colour correction, display conversions)
// chooses its code through these checks and through nothing else, so that one
// answer holds for the whole process.
#ifndef IMAGING_CPU_FEATURES_H
#define IMAGING_CPU_FEATURES_H

namespace imaging::cpu {

// __builtin_cpu_init makes the answers valid even when a check runs before
// the runtime's own initialisation (from another static initialiser).
inline bool HasSsse3() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") != 0;
  }();
  return has;
}

inline bool HasAvx2() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
}

// The AVX-512 byte and word instructions at every vector width.
inline bool HasAvx512BwVl() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512bw") != 0 && __builtin_cpu_supports("avx512vl") != 0;
  }();
  return has;
}

// The AVX-512 byte permutations across a whole register.
inline bool HasAvx512Vbmi() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512vbmi") != 0;
  }();
  return has;
}

}  // namespace imaging::cpu

#endif
