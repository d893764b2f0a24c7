// Test support for the RAW decoders and the cell demosaic families: random
// frames, canary-filled buffers and an independent per-pixel description of
// the colour filter (read from the phase names, not from the library).
#ifndef IMAGING_TESTS_RAW_TEST_SUPPORT_H
#define IMAGING_TESTS_RAW_TEST_SUPPORT_H

#include <cstdint>
#include <random>
#include <vector>

namespace rawtest {

constexpr uint8_t kCanary8 = 0xA5;
constexpr uint16_t kCanary16 = 0xA5C3;

// The phase names in member order; letter 2 * (y mod 2) + (x mod 2) is the
// colour of the sample at (x, y).
inline const char* const kPhaseNames[4] = {"RGGB", "GRBG", "GBRG", "BGGR"};
inline const char* const kFormatNames[4] = {"8to24", "8to32", "16to48", "16to64"};

inline char ColourAt(int phase, int x, int y) { return kPhaseNames[phase][2 * (y % 2) + (x % 2)]; }

template <class T>
std::vector<T> RandomSamples(size_t n, uint32_t seed, uint32_t maxValue) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<uint32_t> dist(0, maxValue);
  std::vector<T> v(n);
  for (auto& s : v) s = static_cast<T>(dist(rng));
  return v;
}

// A smooth synthetic scene with a little noise, as a camera would see it:
// the compressed-line encoder then produces mostly short code words.
inline std::vector<uint8_t> SceneFrame(int width, int height, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> noise(-3, 3);
  std::vector<uint8_t> f(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      int v = (x * 160) / (width > 1 ? width : 1) + (y * 64) / (height > 1 ? height : 1) +
              ((x / 2 + y / 2) % 2) * 20 + noise(rng);
      if ((x / 97 + y / 61) % 5 == 0) v += 60;  // some edges
      f[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
  return f;
}

}  // namespace rawtest

#endif
