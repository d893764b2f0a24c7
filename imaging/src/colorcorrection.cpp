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
#include "imaging/colorcorrection.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "colorcorrection_workers.h"
#include "cpu_features.h"
#include "debayer_interp_simd.h"
#include "imaging/pixelutil.h"

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

// Byte conversion: above 255 gives 255, below 0 gives 0, otherwise the nearest
// integer with halves to even. A value that is not a number (only reachable
// through non-finite settings) gives 0.
inline uint32_t ToByte(double v) {
  if (v > 255) return 255;
  if (!(v >= 0)) return 0;
  return static_cast<uint32_t>(std::nearbyint(v));
}

inline double Limit01(double v) {
  if (v > 1) return 1;
  if (v < 0) return 0;
  return v;
}

inline uint32_t PackColour(uint32_t r, uint32_t g, uint32_t b) { return b | g << 8 | r << 16; }

// Brings a hue in degrees into 0..360 as adding 360 while it is below 0 and
// then subtracting 360 while it is above 360 would. Every whole turn taken off
// before the last step is exact, so the remainder gives the same value; unlike
// the repeated steps it ends for any magnitude. The result lies in [0, 360]
// (360 kept as 360, as the stepping keeps it).
inline double WrapHue(double h) {
  // One turn (the usual case) is a single step, as in the stepping.
  if (h < 0 && h >= -360) return h + 360;
  if (h > 360 && h <= 720) return h - 360;
  if (h < 0) {
    h = std::fmod(h, 360.0);  // exact, in (-360, 0]
    h = (h < 0) ? h + 360 : 0.0;
  }
  if (h > 360) {
    h = std::fmod(h, 360.0);  // exact, in [0, 360)
    if (h == 0) h = 360;
  }
  return h;
}

inline double HueFraction(double x) { return x >= 1 ? 1 : x; }

inline double ApplySaturationLightness(double x, double s, double l) {
  x = x * (2 * s) + (1 - s);
  return l < 0.5 ? x * l : x * (1 - l) - 1 + 2 * l;
}

// Gain and offset per channel, then hue shift and saturation and lightness
// scaling in HSL space.
uint32_t CorrectGainHSL(const ColorCorrection& c, uint32_t R, uint32_t G, uint32_t B) {
  const double r = Limit01((R * c.GainR + c.OffsetR) / 255);
  const double g = Limit01((G * c.GainG + c.OffsetG) / 255);
  const double b = Limit01((B * c.GainB + c.OffsetB) / 255);

  const double mx = std::max(r, std::max(g, b));
  const double mn = std::min(r, std::min(g, b));
  const double d = mx - mn;
  double l = (mx + mn) * 0.5;
  double s = 0;
  if (0 < l && l < 1) s = (l < 0.5) ? d / (2 * l) : d / (2 - 2 * l);

  double hue = 0;
  if (d != 0) {
    if (r == mx)
      hue = 60 * ((g - b) / d);
    else if (g == mx)
      hue = 60 * ((b - r) / d + 2);
    else
      hue = 60 * ((r - g) / d + 4);
  }

  // A shift that is not a finite number of degrees leaves the hue as it is.
  double h = hue + c.HueShift;
  if (!std::isfinite(h)) h = hue;
  s = Limit01(s * c.SaturationGain);
  l = Limit01(l * c.LightnessGain + c.LightnessOffset);
  h = WrapHue(h);

  double fr, fg, fb;
  if (h < 120) {
    fr = (120 - h) / 60;
    fg = h / 60;
    fb = 0;
  } else if (h < 240) {
    fr = 0;
    fg = (240 - h) / 60;
    fb = (h - 120) / 60;
  } else {
    fr = (h - 240) / 60;
    fg = 0;
    fb = (360 - h) / 60;
  }
  fr = ApplySaturationLightness(HueFraction(fr), s, l);
  fg = ApplySaturationLightness(HueFraction(fg), s, l);
  fb = ApplySaturationLightness(HueFraction(fb), s, l);
  return PackColour(ToByte(fr * 255), ToByte(fg * 255), ToByte(fb * 255));
}

// Affine matrix in 8-bit units: rows are the inputs R, G, B and the constant.
uint32_t CorrectMatrix(const ColorCorrection& c, uint32_t R, uint32_t G, uint32_t B) {
  const double* m = c.Matrix;
  const double r = R, g = G, b = B;
  return PackColour(ToByte(m[0] * r + m[3] * g + m[6] * b + m[9]),
                    ToByte(m[1] * r + m[4] * g + m[7] * b + m[10]),
                    ToByte(m[2] * r + m[5] * g + m[8] * b + m[11]));
}

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

// Computes the entry at index under the current settings, stores it with the
// current stamp and returns it.
[[gnu::noinline]] uint32_t FillEntry(ColorCorrection& c, uint32_t index) {
  const uint32_t key = KeyOf(index);
  const uint32_t B = key >> 16, R = (key >> 8) & 0xFF, G = key & 0xFF;
  const uint32_t colour = (c.Mode == 0) ? CorrectGainHSL(c, R, G, B) : CorrectMatrix(c, R, G, B);
  const uint32_t entry = colour | uint32_t{c.Stamp} << 24;
  StoreEntry(c, index, entry);
  return entry;
}

// A settings change: Stamp moves on (skipping 0, the stale mark) and the
// slice of the cube that belongs to the new value is stale-marked.
void AdvanceStamp(ColorCorrection& c) {
  const uint8_t next = (c.Stamp == kLiveStamps) ? 1 : static_cast<uint8_t>(c.Stamp + 1);
  const size_t begin = (next - 1) * kRetireSlice;
  const size_t end = std::min(begin + kRetireSlice, kCubeEntries);
  for (size_t i = begin; i < end; ++i) c.Cube[i] &= kColourMask;
  c.Stamp = next;
}

void StoreGains(ColorCorrection& c, double gainR, double offsetR, double gainG, double offsetG,
                double gainB, double offsetB) {
  c.GainR = gainR;
  c.OffsetR = offsetR;
  c.GainG = gainG;
  c.OffsetG = offsetG;
  c.GainB = gainB;
  c.OffsetB = offsetB;
}

void StoreHSL(ColorCorrection& c, double hueShift, double saturationGain, double lightnessGain,
              double lightnessOffset) {
  c.HueShift = hueShift;
  c.SaturationGain = saturationGain;
  c.LightnessGain = lightnessGain;
  c.LightnessOffset = lightnessOffset;
}

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

// RGB24: four pixels (12 bytes) per step, written as one 8-byte and one
// 4-byte word; the four entries are looked up together and, when all are
// current (the usual case), combined without a per-pixel branch.
template <bool kShared>
void Apply24(ColorCorrection& c, uint8_t* p, size_t n) {
  const uint32_t stampBits = uint32_t{c.Stamp} << 24;
  for (; n >= 4; n -= 4, p += 12) {
    const uint32_t index[4] = {IndexAt(p), IndexAt(p + 3), IndexAt(p + 6), IndexAt(p + 9)};
    uint32_t e[4];
    uint32_t stale = 0;
    for (int k = 0; k < 4; ++k) {
      e[k] = LoadEntry<kShared>(c, index[k]);
      stale |= e[k] ^ stampBits;
    }
    if (stale >> 24 != 0) [[unlikely]] {
      for (int k = 0; k < 4; ++k) e[k] = Corrected<kShared>(c, stampBits, index[k]);
    }
    // The stamp bytes of e[2] and e[3] fall outside the words written.
    const uint64_t w0 =
        (e[0] & kColourMask) | uint64_t{e[1] & kColourMask} << 24 | uint64_t{e[2]} << 48;
    const uint32_t w1 = ((e[2] >> 16) & 0xFF) | e[3] << 8;
    std::memcpy(p, &w0, 8);
    std::memcpy(p + 8, &w1, 4);
  }
  for (; n > 0; --n, p += 3) {
    const uint32_t bgr = Corrected<kShared>(c, stampBits, IndexAt(p));
    p[0] = static_cast<uint8_t>(bgr);
    p[1] = static_cast<uint8_t>(bgr >> 8);
    p[2] = static_cast<uint8_t>(bgr >> 16);
  }
}

// RGB32: one word per pixel; its fourth byte is written back unchanged.
template <bool kShared>
void Apply32(ColorCorrection& c, uint8_t* p, size_t n) {
  const uint32_t stampBits = uint32_t{c.Stamp} << 24;
  for (; n > 0; --n, p += 4) {
    uint32_t w;
    std::memcpy(&w, p, 4);
    w = (w & ~kColourMask) | Corrected<kShared>(c, stampBits, IndexAt(p));
    std::memcpy(p, &w, 4);
  }
}

// ---------------------------------------------------------------------------
// Vector loops: sixteen pixels a step with AVX-512, eight with AVX2.
//
// A step's pixels become keys by one byte permutation (G, R, B, 0 is the key
// as a little-endian word) and cube indices by a few shifts; the indices are
// made kIndicesAhead steps before they are used and kept in a small ring. A
// word read from a vector stored just before must wait until that store has
// reached the cache, and the wait would hold up every step; made early, the
// indices are there when their step comes.
//
// The entries are read one by one straight into the lanes of a vector (a
// gather instruction is slower on the processors at hand), checked for the
// current stamp together, and their colour bytes written with one or two
// vector stores: a scalar store per pixel would cost more than all the rest.
// When an entry of the step is not current, the step is served again one
// pixel at a time in order, so that a colour met twice in one step is
// computed once. The results are those of the portable loops.

#define IMAGING_CC_AVX2 __attribute__((target("avx2")))
#define IMAGING_CC_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi")))

constexpr size_t kIndicesAhead = 2;
constexpr size_t kIndexRing = 4;  // index vectors kept: ahead + 1, rounded up
static_assert(kIndexRing > kIndicesAhead);

// The course every vector loop takes: make the first steps' indices, then
// serve steps while their entries are current (serveCurrent returns the
// first step that has one that is not) and serve that step in order.
template <class Make, class ServeCurrent, class ServeInOrder>
[[gnu::always_inline]] inline void RunSteps(size_t steps, const Make& make,
                                            const ServeCurrent& serveCurrent,
                                            const ServeInOrder& serveInOrder) {
  for (size_t s = 0; s < std::min(steps, kIndicesAhead); ++s) make(s);
  for (size_t s = serveCurrent(0); s < steps; s = serveCurrent(s + 1)) serveInOrder(s);
}

// The vector loops run where the processor has them and the process-wide
// vector ceiling (lowered by tests and benchmarks) allows them.
bool UseAvx512() {
  return imaging::interp::ActiveVectors() == imaging::interp::Vectors::kAvx512 &&
         imaging::cpu::HasAvx512Vbmi();
}
bool UseAvx2() { return imaging::interp::ActiveVectors() >= imaging::interp::Vectors::kAvx2; }

// Serves RGB24 pixels at p from their cube indices, one at a time in order,
// computing the entries that are not current. Kept out of line: inlined, it
// would crowd the registers of the loops that fall back on it.
template <bool kShared>
[[gnu::noinline]] void ServeInOrder24(ColorCorrection& c, uint32_t stampBits, const uint32_t* index,
                                      uint8_t* p, int pixels) {
  for (int k = 0; k < pixels; ++k) {
    const uint32_t bgr = Corrected<kShared>(c, stampBits, index[k]);
    std::memcpy(p + 3 * k, &bgr, 2);
    p[3 * k + 2] = static_cast<uint8_t>(bgr >> 16);
  }
}

// The entries at four indices, read into the lanes of a vector. Each entry
// is read by one instruction of its own, as a relaxed atomic load reads it
// (an aligned 4-byte read is indivisible on this target), so the loops may
// run in several threads while others store entries. Written as a relaxed
// atomic load, the compiler would not merge it into the lane insert, and the
// extra instructions cost the loops a third of their speed.
template <int kLane>
IMAGING_CC_AVX2 inline __m128i InsertEntry(__m128i lanes, const ColorCorrection& c,
                                           uint32_t index) {
  if constexpr (kLane == 0)
    __asm__("vmovd %1, %0" : "=x"(lanes) : "m"(c.Cube[index]));
  else
    __asm__("vpinsrd %2, %1, %0, %0" : "+x"(lanes) : "m"(c.Cube[index]), "i"(kLane));
  return lanes;
}

IMAGING_CC_AVX2 inline __m128i Entries4(const ColorCorrection& c, const uint32_t* index) {
  __m128i e = _mm_setzero_si128();
  e = InsertEntry<0>(e, c, index[0]);
  e = InsertEntry<1>(e, c, index[1]);
  e = InsertEntry<2>(e, c, index[2]);
  return InsertEntry<3>(e, c, index[3]);
}

// Byte k of each 16-byte lane of the result: G, R, B of pixel k / 4 of the
// lane (bytes step * (k / 4) + 1, + 2, + 0 of the lane), then zero.
template <int kStep>
IMAGING_CC_AVX2 inline __m256i LaneIndexShuffle() {
  alignas(32) int8_t bytes[32];
  static constexpr int kOrder[4] = {1, 2, 0, -1};
  for (int k = 0; k < 32; ++k) {
    const int j = k % 16;
    bytes[k] =
        kOrder[j % 4] < 0 ? int8_t{-128} : static_cast<int8_t>(kStep * (j / 4) + kOrder[j % 4]);
  }
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes));
}

// The bytes B, G, R of each of four entries, packed into the first 12 bytes.
IMAGING_CC_AVX2 inline __m128i PackEntries4(__m128i entries) {
  return _mm_shuffle_epi8(entries,
                          _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
}

// CubeIndex of eight keys.
IMAGING_CC_AVX2 inline __m256i CubeIndices(__m256i key) {
  using Keys = uint32_t __attribute__((vector_size(32)));
  Keys keys = reinterpret_cast<Keys>(key);
  ToCubeIndex(keys);
  return reinterpret_cast<__m256i>(keys);
}

// The cube indices of the eight RGB24 pixels at p, stored to index; reads
// 32 bytes, the last 8 of them beyond the step's 24.
IMAGING_CC_AVX2 inline void MakeIndices24(__m256i shuffle, const uint8_t* p, uint32_t* index) {
  // Words 0-2 (pixels 0-3) to the low lane, words 3-5 (pixels 4-7) to the high.
  const __m256i toLanes = _mm256_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0);
  const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  _mm256_store_si256(
      reinterpret_cast<__m256i*>(index),
      CubeIndices(_mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(pixels, toLanes), shuffle)));
}

template <bool kShared>
IMAGING_CC_AVX2 void Apply24Avx2(ColorCorrection& c, uint8_t* p, size_t n) {
  const uint32_t stampBits = uint32_t{c.Stamp} << 24;
  // Steps whose 32-byte read stays inside the n pixels.
  const size_t steps = n >= 11 ? (n - 11) / 8 + 1 : 0;
  const __m256i shuffle = LaneIndexShuffle<3>();
  alignas(32) uint32_t ring[kIndexRing][8];
  const auto make = [&](size_t s) IMAGING_CC_AVX2 {
    MakeIndices24(shuffle, p + 24 * s, ring[s % kIndexRing]);
  };
  // As in the AVX-512 loop: steps while current, no call in the loop.
  const auto serveCurrent = [&](size_t s) IMAGING_CC_AVX2 {
    const __m128i stamps = _mm_set1_epi32(static_cast<int>(stampBits));
    const __m128i stampBytes = _mm_set1_epi32(static_cast<int>(~kColourMask));
    for (; s < steps; ++s) {
      if (s + kIndicesAhead < steps) make(s + kIndicesAhead);
      const uint32_t* index = ring[s % kIndexRing];
      const __m128i low = Entries4(c, index), high = Entries4(c, index + 4);
      const __m128i differ = _mm_or_si128(_mm_xor_si128(low, stamps), _mm_xor_si128(high, stamps));
      if (!_mm_testz_si128(differ, stampBytes)) break;
      // Twelve bytes each; the first store's four spare bytes are overwritten
      // by the second, the second's by the next step (whose pixels were read
      // already), except at the last step.
      uint8_t* q = p + 24 * s;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(q), PackEntries4(low));
      const __m128i packed = PackEntries4(high);
      if (s + 1 < steps) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 12), packed);
      } else {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(q + 12), packed);
        const uint32_t last = static_cast<uint32_t>(_mm_extract_epi32(packed, 2));
        std::memcpy(q + 20, &last, 4);
      }
    }
    return s;
  };
  RunSteps(steps, make, serveCurrent, [&](size_t s) {
    ServeInOrder24<kShared>(c, stampBits, ring[s % kIndexRing], p + 24 * s, 8);
  });
  Apply24<kShared>(c, p + 24 * steps, n - 8 * steps);
}

// RGB32: the pixels are read again at their step for their fourth bytes.
template <bool kShared>
IMAGING_CC_AVX2 void Apply32Avx2(ColorCorrection& c, uint8_t* p, size_t n) {
  const uint32_t stampBits = uint32_t{c.Stamp} << 24;
  const size_t steps = n / 8;
  const __m256i shuffle = LaneIndexShuffle<4>();
  alignas(32) uint32_t ring[kIndexRing][8];
  const auto make = [&](size_t s) IMAGING_CC_AVX2 {
    const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * s));
    _mm256_store_si256(reinterpret_cast<__m256i*>(ring[s % kIndexRing]),
                       CubeIndices(_mm256_shuffle_epi8(pixels, shuffle)));
  };
  // As in the RGB24 loop: steps while current, no call in the loop.
  const auto serveCurrent = [&](size_t s) IMAGING_CC_AVX2 {
    const __m256i stamps = _mm256_set1_epi32(static_cast<int>(stampBits));
    const __m256i colourBytes = _mm256_set1_epi32(static_cast<int>(kColourMask));
    for (; s < steps; ++s) {
      if (s + kIndicesAhead < steps) make(s + kIndicesAhead);
      const uint32_t* index = ring[s % kIndexRing];
      const __m256i entries = _mm256_inserti128_si256(_mm256_castsi128_si256(Entries4(c, index)),
                                                      Entries4(c, index + 4), 1);
      if (!_mm256_testz_si256(_mm256_xor_si256(entries, stamps),
                              _mm256_xor_si256(colourBytes, _mm256_set1_epi32(-1))))
        break;
      // Bytes 0-2 from the entry, the fourth byte of each pixel kept.
      auto* q = reinterpret_cast<__m256i*>(p + 32 * s);
      _mm256_storeu_si256(q, _mm256_blendv_epi8(_mm256_loadu_si256(q), entries, colourBytes));
    }
    return s;
  };
  RunSteps(steps, make, serveCurrent, [&](size_t s) { Apply32<kShared>(c, p + 32 * s, 8); });
  Apply32<kShared>(c, p + 32 * steps, n - 8 * steps);
}

constexpr uint64_t kIndexBytes = 0x7777777777777777u;  // bytes 0-2 of every word

// Word k of the result: bytes G, R, B (bytes 1, 2, 0) of the pixel at byte
// step * k of the source, then 0.
template <int kStep>
IMAGING_CC_AVX512 inline __m512i IndexSelection() {
  alignas(64) uint8_t bytes[64];
  static constexpr int kOrder[4] = {1, 2, 0, 0};
  for (int k = 0; k < 64; ++k) bytes[k] = static_cast<uint8_t>(kStep * (k / 4) + kOrder[k % 4]);
  return _mm512_load_si512(bytes);
}

// CubeIndex of sixteen keys.
IMAGING_CC_AVX512 inline __m512i CubeIndices(__m512i key) {
  using Keys = uint32_t __attribute__((vector_size(64)));
  Keys keys = reinterpret_cast<Keys>(key);
  ToCubeIndex(keys);
  return reinterpret_cast<__m512i>(keys);
}

// The entries at sixteen indices.
IMAGING_CC_AVX512 inline __m512i Entries16(const ColorCorrection& c, const uint32_t* index) {
  __m512i e = _mm512_castsi128_si512(Entries4(c, index));
  e = _mm512_inserti32x4(e, Entries4(c, index + 4), 1);
  e = _mm512_inserti32x4(e, Entries4(c, index + 8), 2);
  return _mm512_inserti32x4(e, Entries4(c, index + 12), 3);
}

// True when an entry's stamp differs from the current one.
IMAGING_CC_AVX512 inline bool AnyStale(__m512i entries, uint32_t stampBits) {
  const __m512i differ = _mm512_xor_si512(entries, _mm512_set1_epi32(static_cast<int>(stampBits)));
  return _mm512_test_epi32_mask(differ, _mm512_set1_epi32(static_cast<int>(~kColourMask))) != 0;
}

template <bool kShared>
IMAGING_CC_AVX512 void Apply24Avx512(ColorCorrection& c, uint8_t* p, size_t n) {
  const uint32_t stampBits = uint32_t{c.Stamp} << 24;
  constexpr __mmask64 kStepBytes = (uint64_t{1} << 48) - 1;
  const __m512i toIndices = IndexSelection<3>();
  // Bytes B, G, R of the sixteen entries, packed into the first 48 bytes.
  alignas(64) uint8_t pack[64];
  for (int k = 0; k < 64; ++k) pack[k] = static_cast<uint8_t>(k < 48 ? k / 3 * 4 + k % 3 : 0);
  const __m512i toPixels = _mm512_load_si512(pack);
  const size_t steps = n / 16;
  alignas(64) uint32_t ring[kIndexRing][16];
  const auto make = [&](size_t s) IMAGING_CC_AVX512 {
    const __m512i pixels = _mm512_maskz_loadu_epi8(kStepBytes, p + 48 * s);
    _mm512_store_si512(ring[s % kIndexRing],
                       CubeIndices(_mm512_maskz_permutexvar_epi8(kIndexBytes, toIndices, pixels)));
  };
  // Serves steps from s on while their entries are current; returns the
  // first step that has one that is not. The loop makes no call, so that its
  // constants stay in registers.
  const auto serveCurrent = [&](size_t s) IMAGING_CC_AVX512 {
    for (; s < steps; ++s) {
      if (s + kIndicesAhead < steps) make(s + kIndicesAhead);
      const __m512i entries = Entries16(c, ring[s % kIndexRing]);
      if (AnyStale(entries, stampBits)) break;
      // A whole 64-byte store: its last 16 bytes land on the next step,
      // whose pixels were read already and which overwrites them; a masked
      // store is slow on some processors and is kept for the last step.
      const __m512i packed = _mm512_maskz_permutexvar_epi8(kStepBytes, toPixels, entries);
      if (s + 1 < steps)
        _mm512_storeu_si512(p + 48 * s, packed);
      else
        _mm512_mask_storeu_epi8(p + 48 * s, kStepBytes, packed);
    }
    return s;
  };
  RunSteps(steps, make, serveCurrent, [&](size_t s) {
    ServeInOrder24<kShared>(c, stampBits, ring[s % kIndexRing], p + 48 * s, 16);
  });
  Apply24<kShared>(c, p + 48 * steps, n - 16 * steps);
}

// RGB32: the pixels are read again at their step for their fourth bytes.
template <bool kShared>
IMAGING_CC_AVX512 void Apply32Avx512(ColorCorrection& c, uint8_t* p, size_t n) {
  const uint32_t stampBits = uint32_t{c.Stamp} << 24;
  const __m512i toIndices = IndexSelection<4>();
  const size_t steps = n / 16;
  alignas(64) uint32_t ring[kIndexRing][16];
  const auto make = [&](size_t s) IMAGING_CC_AVX512 {
    const __m512i pixels = _mm512_loadu_si512(p + 64 * s);
    _mm512_store_si512(ring[s % kIndexRing],
                       CubeIndices(_mm512_maskz_permutexvar_epi8(kIndexBytes, toIndices, pixels)));
  };
  // As in the RGB24 loop: steps while current, no call in the loop.
  const auto serveCurrent = [&](size_t s) IMAGING_CC_AVX512 {
    for (; s < steps; ++s) {
      if (s + kIndicesAhead < steps) make(s + kIndicesAhead);
      const __m512i entries = Entries16(c, ring[s % kIndexRing]);
      if (AnyStale(entries, stampBits)) break;
      // Bytes 0-2 from the entry, the fourth byte of each pixel kept.
      uint8_t* q = p + 64 * s;
      _mm512_storeu_si512(q, _mm512_mask_blend_epi8(kIndexBytes, _mm512_loadu_si512(q), entries));
    }
    return s;
  };
  RunSteps(steps, make, serveCurrent, [&](size_t s) { Apply32<kShared>(c, p + 64 * s, 16); });
  Apply32<kShared>(c, p + 64 * steps, n - 16 * steps);
}

// ---------------------------------------------------------------------------
// Splitting a call between threads.

// The worker threads of each live object, found by its handle.
struct WorkerRegistry {
  std::mutex mutex;
  std::unordered_map<const ColorCorrection*, std::unique_ptr<imaging::cc::ApplyWorkers>> objects;
};
WorkerRegistry& Workers() {
  static WorkerRegistry registry;
  return registry;
}

imaging::cc::ApplyWorkers* WorkersOf(const ColorCorrection* cc) {
  WorkerRegistry& r = Workers();
  std::lock_guard lock(r.mutex);
  const auto it = r.objects.find(cc);
  return it == r.objects.end() ? nullptr : it->second.get();
}

void StartWorkers(const ColorCorrection* cc) {
  const int threads = imaging::cc::WorkerThreads();
  if (threads <= 0) return;
  try {
    auto workers = std::make_unique<imaging::cc::ApplyWorkers>(threads);
    WorkerRegistry& r = Workers();
    std::lock_guard lock(r.mutex);
    r.objects[cc] = std::move(workers);
  } catch (...) {
    // Without workers every call runs in its caller.
  }
}

void StopWorkers(const ColorCorrection* cc) {
  std::unique_ptr<imaging::cc::ApplyWorkers> workers;
  WorkerRegistry& r = Workers();
  {
    std::lock_guard lock(r.mutex);
    const auto it = r.objects.find(cc);
    if (it == r.objects.end()) return;
    workers = std::move(it->second);
    r.objects.erase(it);
  }
}  // the threads end and are joined here, outside the lock

// Smaller images are served by the caller alone: waking the workers would
// cost more than it saves.
constexpr size_t kPixelsPerPart = size_t{1} << 16;
// A call is served in chunks that the caller and the workers take in turn
// (64 for a 1920 x 1080 frame); chunks start on whole vector steps.
constexpr size_t kChunkPixels = size_t{1} << 15;
static_assert(kChunkPixels % 16 == 0);

using ApplyLoop = void (*)(ColorCorrection&, uint8_t*, size_t);

struct ApplyJob {
  ColorCorrection* cc;
  uint8_t* image;
  size_t pixels;
  size_t step;  // bytes per pixel
  ApplyLoop loop;
  std::atomic<size_t> nextChunk{0};
};

// The loop for a pixel step: AVX-512 or AVX2 where it may run, else
// portable.
template <size_t kStep, bool kShared>
ApplyLoop Loop() {
  if constexpr (kStep == 3) {
    return UseAvx512() ? Apply24Avx512<kShared>
           : UseAvx2() ? Apply24Avx2<kShared>
                       : Apply24<kShared>;
  } else {
    return UseAvx512() ? Apply32Avx512<kShared>
           : UseAvx2() ? Apply32Avx2<kShared>
                       : Apply32<kShared>;
  }
}

void ApplyPart(void* job) {
  ApplyJob& j = *static_cast<ApplyJob*>(job);
  for (;;) {
    const size_t begin = j.nextChunk.fetch_add(1, std::memory_order_relaxed) * kChunkPixels;
    if (begin >= j.pixels) return;
    const size_t end = std::min(j.pixels, begin + kChunkPixels);
    j.loop(*j.cc, j.image + begin * j.step, end - begin);
  }
}

template <size_t kStep>
int32_t Apply(ColorCorrection* cc, uint8_t* image, int32_t width, int32_t height) {
  if (cc == nullptr) return 0;
  const int64_t n = int64_t{width} * height;
  if (n <= 0) return 1;
  const size_t pixels = static_cast<size_t>(n);
  imaging::cc::ApplyWorkers* workers = pixels >= 2 * kPixelsPerPart ? WorkersOf(cc) : nullptr;
  if (workers != nullptr) {
    ApplyJob job{cc, image, pixels, kStep, Loop<kStep, true>(), {}};
    workers->Run(ApplyPart, &job);
  } else {
    Loop<kStep, false>()(*cc, image, pixels);
  }
  return 1;
}

}  // namespace

extern "C" {

ColorCorrection* CreateColorCorrection(void) {
  void* block = ImageAlloc(sizeof(ColorCorrection));  // content undefined
  if (block == nullptr) return nullptr;
  auto* cc = static_cast<ColorCorrection*>(block);
  // Every entry starts as its own colour, stamp 0: current until the first change.
  for (uint32_t index = 0; index < kCubeEntries; ++index) {
    const uint32_t key = KeyOf(index);
    cc->Cube[index] = PackColour((key >> 8) & 0xFF, key & 0xFF, key >> 16);
  }
  std::memset(reinterpret_cast<unsigned char*>(cc) + offsetof(ColorCorrection, Mode), 0,
              sizeof(ColorCorrection) - offsetof(ColorCorrection, Mode));
  cc->Mode = CorrectionGainHSL;
  for (int k = 0; k < 12; ++k) cc->Matrix[k] = (k == 0 || k == 4 || k == 8) ? 1.0 : 0.0;
  cc->OffsetR = cc->OffsetG = cc->OffsetB = 0;
  cc->GainR = cc->GainG = cc->GainB = 1;
  cc->HueShift = 0;
  cc->SaturationGain = 1;
  cc->LightnessOffset = 0;
  cc->LightnessGain = 1;
  cc->Stamp = 0;
  StartWorkers(cc);
  return cc;
}

int32_t FreeColorCorrection(ColorCorrection* cc) {
  if (cc == nullptr) return 0;
  StopWorkers(cc);
  ImageFree(cc);
  return 1;
}

int32_t SetColorCorrectionGains(ColorCorrection* cc, double gainR, double offsetR, double gainG,
                                double offsetG, double gainB, double offsetB) {
  if (cc == nullptr) return 0;
  StoreGains(*cc, gainR, offsetR, gainG, offsetG, gainB, offsetB);
  AdvanceStamp(*cc);
  return 1;
}

int32_t GetColorCorrectionGains(const ColorCorrection* cc, double* gainR, double* offsetR,
                                double* gainG, double* offsetG, double* gainB, double* offsetB) {
  if (cc == nullptr) return 0;
  *gainR = cc->GainR;
  *offsetR = cc->OffsetR;
  *gainG = cc->GainG;
  *offsetG = cc->OffsetG;
  *gainB = cc->GainB;
  *offsetB = cc->OffsetB;
  return 1;
}

int32_t SetColorCorrectionHSL(ColorCorrection* cc, double hueShift, double saturationGain,
                              double lightnessGain, double lightnessOffset) {
  if (cc == nullptr) return 0;
  StoreHSL(*cc, hueShift, saturationGain, lightnessGain, lightnessOffset);
  AdvanceStamp(*cc);
  return 1;
}

int32_t GetColorCorrectionHSL(const ColorCorrection* cc, double* hueShift, double* saturationGain,
                              double* lightnessGain, double* lightnessOffset) {
  if (cc == nullptr) return 0;
  *hueShift = cc->HueShift;
  *saturationGain = cc->SaturationGain;
  *lightnessGain = cc->LightnessGain;
  *lightnessOffset = cc->LightnessOffset;
  return 1;
}

int32_t SetColorCorrectionParams(ColorCorrection* cc, double gainR, double offsetR, double gainG,
                                 double offsetG, double gainB, double offsetB, double hueShift,
                                 double saturationGain, double lightnessGain,
                                 double lightnessOffset) {
  if (cc == nullptr) return 0;
  StoreGains(*cc, gainR, offsetR, gainG, offsetG, gainB, offsetB);
  StoreHSL(*cc, hueShift, saturationGain, lightnessGain, lightnessOffset);
  AdvanceStamp(*cc);  // once for all ten values
  return 1;
}

int32_t SetColorCorrectionMatrix(ColorCorrection* cc, const double* matrix) {
  if (cc == nullptr) return 0;
  std::memcpy(cc->Matrix, matrix, sizeof cc->Matrix);
  AdvanceStamp(*cc);
  return 1;
}

int32_t GetColorCorrectionMatrix(const ColorCorrection* cc, double* matrix) {
  if (cc == nullptr) return 0;
  std::memcpy(matrix, cc->Matrix, sizeof cc->Matrix);
  return 1;
}

int32_t SetColorCorrectionMode(ColorCorrection* cc, int32_t mode) {
  if (cc == nullptr) return 0;
  AdvanceStamp(*cc);
  cc->Mode = mode;
  return 0;
}

int32_t ApplyColorCorrection(ColorCorrection* cc, uint8_t* image, int32_t width, int32_t height) {
  return Apply<3>(cc, image, width, height);
}

int32_t ApplyColorCorrectionRGB32(ColorCorrection* cc, uint8_t* image, int32_t width,
                                  int32_t height) {
  return Apply<4>(cc, image, width, height);
}

}  // extern "C"
