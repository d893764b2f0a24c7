// The colour-correction object: one block holding a 256 x 256 x 256 cube of
// cached corrected colours followed by the settings.
//
// The input colour (B, G, R) has the key B * 65536 + R * 256 + G; its entry
// lies at the cube index made from the key by CubeIndex (below). Its four bytes are the corrected
// blue, green and red and the stamp, the value of Stamp when the entry was computed; an entry is
// current when its stamp equals Stamp. On this little-endian target an entry reads as the u32 B' |
// G' << 8 | R' << 16 | stamp << 24.
//
// Keeping stamps honest across the wrap of the 8-bit Stamp:
//   * The value 0 marks a stale entry once any setter has run. Stamp starts at
//     0, so the creation-time identity entries (stamp 0) are current in a fresh
//     object; every setter then moves Stamp on through 1..255 and from 255
//     back to 1, never to 0 again.
//   * Each setter also retires one 1/255 slice of the cube: the stamps of that
//     slice are set to 0. The slice is chosen by the new Stamp value, so any 255
//     consecutive setter calls retire every slice once. An entry computed while
//     Stamp was s is therefore stale-marked before Stamp comes back to s (which
//     takes exactly 255 calls) and is never served as current again.
//   A settings change thus costs a fixed amount of work (65,794 stamp bytes)
//   whatever happened before: no whole-cube sweep, no stall at the wrap.
//
// This header holds the object, the cube's layout and the reading of entries
// against the stamp; it is included by the file of each instruction set.
// Its functions therefore have internal linkage (an unnamed namespace): each
// of those files compiles its own copy with its own instruction set, and no
// copy built for a wider set can stand in for the portable one.
#ifndef IMAGING_COLORCORRECTION_CUBE_H
#define IMAGING_COLORCORRECTION_CUBE_H

#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "imaging/colorcorrection.h"

static_assert(std::endian::native == std::endian::little,
              "cube entries are read as little-endian words");

namespace {

constexpr size_t kCubeEntries = size_t{1} << 24;
constexpr uint32_t kColourMask = 0x00FFFFFFu;  // the three colour bytes of an entry
constexpr unsigned kLiveStamps = 255;          // Stamp values 1..255 after the first change
constexpr size_t kRetireSlice = (kCubeEntries + kLiveStamps - 1) / kLiveStamps;

}  // namespace

struct ColorCorrection {
  uint32_t Cube[kCubeEntries];
  int32_t Mode;
  double Matrix[12];
  double OffsetR;
  double GainR;
  double OffsetG;
  double GainG;
  double OffsetB;
  double GainB;
  double HueShift;
  double SaturationGain;
  double LightnessOffset;
  double LightnessGain;
  uint8_t Stamp;
};

static_assert(sizeof(ColorCorrection) == 67109056, "cube and 192 bytes of settings");
static_assert(offsetof(ColorCorrection, Mode) == 4 * kCubeEntries);

namespace imaging::cc {

// Computes the entry at index under the current settings, stores it with the
// current stamp and returns it (the colour rules).
uint32_t FillEntry(ColorCorrection& c, uint32_t index);

// A settings change: Stamp moves on (skipping 0, the stale mark) and the
// slice of the cube that belongs to the new value is stale-marked.
void AdvanceStamp(ColorCorrection& c);

// Every entry its own colour with stamp 0: current until the first change.
void FillIdentity(ColorCorrection& c);

namespace {

// When the parts of one apply call run in several threads (kShared), cube
// entries are read and written as relaxed atomic words: two threads that
// meet the same stale colour both compute it and store the same value. On
// this target these are plain loads and stores, but the compiler may not
// combine or reorder them, which costs the loops of a single caller a
// quarter of their speed; those read plain words.
template <bool kShared>
inline uint32_t LoadEntry(ColorCorrection& c, uint32_t index) {
  if constexpr (kShared)
    return std::atomic_ref<uint32_t>(c.Cube[index]).load(std::memory_order_relaxed);
  else
    return c.Cube[index];
}
inline void StoreEntry(ColorCorrection& c, uint32_t index, uint32_t entry) {
  std::atomic_ref<uint32_t>(c.Cube[index]).store(entry, std::memory_order_relaxed);
}

inline uint32_t PackColour(uint32_t r, uint32_t g, uint32_t b) { return b | g << 8 | r << 16; }

// The cube is laid out in bricks of 4 x 4 x 4 colours (256 bytes, four cache
// lines): the high six bits of B, R and G give the brick, the low two bits
// of each the place in it. A smooth picture moves through nearby colours,
// and those share cache lines in bricks far more often than in rows of 256
// greens. Only this file knows the order; every entry, stamp and result is
// that of the colour's key.
// Written once for a key and for vectors of keys (GCC vector types); the
// keys are taken by reference, so that no vector passes through a call.
template <class Keys>
[[gnu::always_inline]] constexpr void ToCubeIndex(Keys& key) {
  key = (key & 0xFC0003) | (key & 0xFC) << 4 | (key & 0x300) >> 6 | (key & 0xFC00) << 2 |
        (key & 0x30000) >> 12;
}
constexpr uint32_t CubeIndex(uint32_t key) {
  ToCubeIndex(key);
  return key;
}
constexpr uint32_t KeyOf(uint32_t index) {
  return (index & 0xFC0003) | (index >> 4 & 0xFC) | (index << 6 & 0x300) | (index >> 2 & 0xFC00) |
         (index << 12 & 0x30000);
}
static_assert(CubeIndex(0x123456) == 0x10D562 && KeyOf(0x10D562) == 0x123456);

// CubeIndex moves each bit of the key on its own, so a colour's index is the
// OR of its three channels' parts; the portable loops look the parts up.
struct ChannelParts {
  uint32_t b[256], g[256], r[256];
};
constexpr ChannelParts MakeChannelParts() {
  ChannelParts parts{};
  for (uint32_t v = 0; v < 256; ++v) {
    parts.b[v] = CubeIndex(v << 16);
    parts.r[v] = CubeIndex(v << 8);
    parts.g[v] = CubeIndex(v);
  }
  return parts;
}
constexpr ChannelParts kChannelParts = MakeChannelParts();
static_assert((kChannelParts.b[0x12] | kChannelParts.r[0x34] | kChannelParts.g[0x56]) ==
              CubeIndex(0x123456));

// The cube index of the pixel whose bytes B, G, R are at px.
inline uint32_t IndexAt(const uint8_t* px) {
  return kChannelParts.b[px[0]] | kChannelParts.g[px[1]] | kChannelParts.r[px[2]];
}

// The corrected colour word of the entry at index: the entry when it is
// current, otherwise computed and stored now.
template <bool kShared>
inline uint32_t Corrected(ColorCorrection& c, uint32_t stampBits, uint32_t index) {
  uint32_t entry = LoadEntry<kShared>(c, index);
  if ((entry ^ stampBits) >> 24 != 0) [[unlikely]]
    entry = FillEntry(c, index);
  return entry & kColourMask;
}

}  // namespace
}  // namespace imaging::cc

#endif
