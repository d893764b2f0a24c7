// The stamps of the cube: the identity entries of a new object and the
// retiring of one slice per settings change (see colorcorrection_cube.h).
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "imaging/src/colorcorrection_cube.h"

namespace imaging::cc {

void AdvanceStamp(ColorCorrection& c) {
  const uint8_t next = (c.Stamp == kLiveStamps) ? 1 : static_cast<uint8_t>(c.Stamp + 1);
  const size_t begin = (next - 1) * kRetireSlice;
  const size_t end = std::min(begin + kRetireSlice, kCubeEntries);
  for (size_t i = begin; i < end; ++i) c.Cube[i] &= kColourMask;
  c.Stamp = next;
}

void FillIdentity(ColorCorrection& c) {
  for (uint32_t index = 0; index < kCubeEntries; ++index) {
    const uint32_t key = KeyOf(index);
    c.Cube[index] = PackColour((key >> 8) & 0xFF, key & 0xFF, key >> 16);
  }
}

}  // namespace imaging::cc
