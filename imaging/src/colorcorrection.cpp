// The colour-correction object: one block holding a 256 x 256 x 256 cube of
// cached corrected colours followed by the settings.
//
// Cube entry of the input colour (B, G, R): index B * 65536 + R * 256 + G.
// Its four bytes are the corrected blue, green and red and the stamp, the value
// of Stamp when the entry was computed; an entry is current when its stamp
// equals Stamp. On this little-endian target an entry reads as the u32
// B' | G' << 8 | R' << 16 | stamp << 24.
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

// Computes the entry at index under the current settings, stores it with the
// current stamp and returns it.
[[gnu::noinline]] uint32_t FillEntry(ColorCorrection& c, uint32_t index) {
  const uint32_t B = index >> 16, R = (index >> 8) & 0xFF, G = index & 0xFF;
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

// Pixels are handled as words. A colour word holds B, G, R in its low three
// bytes, the order of both the image and a cube entry; its cube index
// B << 16 | R << 8 | G is the word shifted down by one byte with B put on top.
inline uint32_t IndexOf(uint32_t bgr) { return (bgr & 0xFF) << 16 | bgr >> 8; }

// The corrected colour word of the entry at index: the entry when it is
// current, otherwise computed and stored now.
template <bool kShared>
inline uint32_t Corrected(ColorCorrection& c, uint32_t stampBits, uint32_t index) {
  uint32_t entry = LoadEntry<kShared>(c, index);
  if ((entry ^ stampBits) >> 24 != 0) [[unlikely]]
    entry = FillEntry(c, index);
  return entry & kColourMask;
}

// Cube indices of four RGB24 pixels held in the words w0 (bytes 0-7) and w1
// (bytes 8-11); pixel k's bytes B, G, R start at byte 3k.
inline void Indices4(uint64_t w0, uint32_t w1, uint32_t index[4]) {
  index[0] = static_cast<uint32_t>((w0 & 0xFF) << 16 | ((w0 >> 8) & 0xFFFF));
  index[1] = static_cast<uint32_t>(((w0 >> 8) & 0xFF0000) | ((w0 >> 32) & 0xFFFF));
  index[2] = static_cast<uint32_t>(((w0 >> 32) & 0xFF0000) | w0 >> 56) | (w1 & 0xFF) << 8;
  index[3] = ((w1 << 8) & 0xFF0000) | w1 >> 16;
}

// RGB24: four pixels (12 bytes) per step, read and written as one 8-byte and
// one 4-byte word; the four entries are looked up together and, when all are
// current (the usual case), combined without a per-pixel branch.
template <bool kShared>
void Apply24(ColorCorrection& c, uint8_t* p, size_t n) {
  const uint32_t stampBits = uint32_t{c.Stamp} << 24;
  for (; n >= 4; n -= 4, p += 12) {
    uint64_t w0;
    uint32_t w1;
    std::memcpy(&w0, p, 8);
    std::memcpy(&w1, p + 8, 4);
    uint32_t index[4];
    Indices4(w0, w1, index);
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
    w0 = (e[0] & kColourMask) | uint64_t{e[1] & kColourMask} << 24 | uint64_t{e[2]} << 48;
    w1 = ((e[2] >> 16) & 0xFF) | e[3] << 8;
    std::memcpy(p, &w0, 8);
    std::memcpy(p + 8, &w1, 4);
  }
  for (; n > 0; --n, p += 3) {
    const uint32_t key = uint32_t{p[0]} << 16 | uint32_t{p[2]} << 8 | p[1];
    const uint32_t bgr = Corrected<kShared>(c, stampBits, key);
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
    w = (w & ~kColourMask) | Corrected<kShared>(c, stampBits, IndexOf(w & kColourMask));
    std::memcpy(p, &w, 4);
  }
}

// ---------------------------------------------------------------------------
// AVX-512 loops: sixteen pixels a step. One byte permutation turns the
// pixels' B, G, R bytes into sixteen cube indices (G, R, B, 0 is the index as
// a little-endian word); the entries are then read one by one (a gather
// instruction is slower on the processors at hand) and their colour words
// stored straight into the pixels. When an entry of the step was not current,
// the step's pixels are put back as they were and served one by one in order
// by the portable loop, so a colour met twice in one step is computed once.
// The results are those of the portable loops.

// The steps of both vector loops read their entries one by one. Each returns
// the entries' stamps compared with the current one: nonzero in the top byte
// when an entry of the step is not current.

// Reads a step's entries into `entry`.
template <bool kShared, int kPixels>
inline uint32_t LoadEntries(ColorCorrection& c, uint32_t stampBits, const uint32_t* index,
                            uint32_t* entry) {
  uint32_t stale = 0;
  for (int k = 0; k < kPixels; ++k) {
    entry[k] = LoadEntry<kShared>(c, index[k]);
    stale |= entry[k] ^ stampBits;
  }
  return stale;
}

// Stores a step's entries into its RGB24 pixels at p: each entry's four
// bytes go to its pixel; the fourth (the stamp) lands on the next pixel's
// first byte and is overwritten by that pixel's entry, except after the last
// pixel, which gets three bytes.
template <bool kShared, int kPixels>
inline uint32_t StoreEntries24(ColorCorrection& c, uint32_t stampBits, const uint32_t* index,
                               uint8_t* p) {
  uint32_t stale = 0;
  for (int k = 0; k < kPixels - 1; ++k) {
    const uint32_t e = LoadEntry<kShared>(c, index[k]);
    stale |= e ^ stampBits;
    std::memcpy(p + 3 * k, &e, 4);
  }
  const uint32_t e = LoadEntry<kShared>(c, index[kPixels - 1]);
  std::memcpy(p + 3 * (kPixels - 1), &e, 2);
  p[3 * kPixels - 1] = static_cast<uint8_t>(e >> 16);
  return stale | (e ^ stampBits);
}

#define IMAGING_CC_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi")))

bool HasAvx512Vbmi() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512vbmi") != 0;
  }();
  return has;
}

// The AVX-512 loops run where the processor has them and the process-wide
// vector ceiling (lowered by tests and benchmarks) allows them.
bool UseAvx512() {
  return imaging::interp::ActiveVectors() == imaging::interp::Vectors::kAvx512 &&
         HasAvx512Vbmi();
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

template <bool kShared>
IMAGING_CC_AVX512 void Apply24Avx512(ColorCorrection& c, uint8_t* p, size_t n) {
  const uint32_t stampBits = uint32_t{c.Stamp} << 24;
  const __m512i toIndices = IndexSelection<3>();
  constexpr __mmask64 kStepBytes = (uint64_t{1} << 48) - 1;
  for (; n >= 16; n -= 16, p += 48) {
    const __m512i pixels = _mm512_maskz_loadu_epi8(kStepBytes, p);
    alignas(64) uint32_t index[16];
    _mm512_store_si512(index, _mm512_maskz_permutexvar_epi8(kIndexBytes, toIndices, pixels));
    if (StoreEntries24<kShared, 16>(c, stampBits, index, p) >> 24 != 0) [[unlikely]] {
      _mm512_mask_storeu_epi8(p, kStepBytes, pixels);
      Apply24<kShared>(c, p, 16);
    }
  }
  Apply24<kShared>(c, p, n);
}

template <bool kShared>
IMAGING_CC_AVX512 void Apply32Avx512(ColorCorrection& c, uint8_t* p, size_t n) {
  const uint32_t stampBits = uint32_t{c.Stamp} << 24;
  const __m512i toIndices = IndexSelection<4>();
  for (; n >= 16; n -= 16, p += 64) {
    const __m512i pixels = _mm512_loadu_si512(p);
    alignas(64) uint32_t index[16];
    alignas(64) uint32_t entry[16];
    _mm512_store_si512(index, _mm512_maskz_permutexvar_epi8(kIndexBytes, toIndices, pixels));
    if (LoadEntries<kShared, 16>(c, stampBits, index, entry) >> 24 != 0) [[unlikely]] {
      Apply32<kShared>(c, p, 16);
      continue;
    }
    // Bytes 0-2 from the entry, the fourth byte of each pixel kept.
    _mm512_storeu_si512(p, _mm512_mask_blend_epi8(kIndexBytes, pixels, _mm512_load_si512(entry)));
  }
  Apply32<kShared>(c, p, n);
}

// ---------------------------------------------------------------------------
// AVX2 loops, for processors without the AVX-512 byte permutation: the same
// steps with eight pixels each; the indices are made by a word permutation
// that gives each 16-byte lane four pixels' bytes and one byte shuffle.

#define IMAGING_CC_AVX2 __attribute__((target("avx2")))

// The AVX2 loops run where the processor has AVX2 and the vector ceiling
// allows it.
bool UseAvx2() { return imaging::interp::ActiveVectors() >= imaging::interp::Vectors::kAvx2; }

// Byte k of each 16-byte lane of the result: G, R, B of pixel k / 4 of the
// lane (bytes step * (k / 4) + 1, + 2, + 0 of the lane), then zero.
template <int kStep>
IMAGING_CC_AVX2 inline __m256i LaneIndexShuffle() {
  alignas(32) int8_t bytes[32];
  static constexpr int kOrder[4] = {1, 2, 0, -1};
  for (int k = 0; k < 32; ++k) {
    const int j = k % 16;
    bytes[k] = kOrder[j % 4] < 0 ? int8_t{-128}
                                 : static_cast<int8_t>(kStep * (j / 4) + kOrder[j % 4]);
  }
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes));
}

template <bool kShared>
IMAGING_CC_AVX2 void Apply24Avx2(ColorCorrection& c, uint8_t* p, size_t n) {
  const uint32_t stampBits = uint32_t{c.Stamp} << 24;
  const __m256i shuffle = LaneIndexShuffle<3>();
  // Words 0-2 (pixels 0-3) to the low lane, words 3-5 (pixels 4-7) to the high.
  const __m256i toLanes = _mm256_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0);
  // A step reads 32 bytes, the last 8 of them beyond its 24.
  for (; n >= 11; n -= 8, p += 24) {
    const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    alignas(32) uint32_t index[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(index),
                       _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(pixels, toLanes), shuffle));
    if (StoreEntries24<kShared, 8>(c, stampBits, index, p) >> 24 != 0) [[unlikely]] {
      std::memcpy(p, &pixels, 24);
      Apply24<kShared>(c, p, 8);
    }
  }
  Apply24<kShared>(c, p, n);
}

template <bool kShared>
IMAGING_CC_AVX2 void Apply32Avx2(ColorCorrection& c, uint8_t* p, size_t n) {
  const uint32_t stampBits = uint32_t{c.Stamp} << 24;
  const __m256i shuffle = LaneIndexShuffle<4>();
  const __m256i colourBytes = _mm256_set1_epi32(static_cast<int>(kColourMask));
  for (; n >= 8; n -= 8, p += 32) {
    const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    alignas(32) uint32_t index[8];
    alignas(32) uint32_t entry[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(index), _mm256_shuffle_epi8(pixels, shuffle));
    if (LoadEntries<kShared, 8>(c, stampBits, index, entry) >> 24 != 0) [[unlikely]] {
      Apply32<kShared>(c, p, 8);
      continue;
    }
    // Bytes 0-2 from the entry, the fourth byte of each pixel kept.
    const __m256i entries = _mm256_load_si256(reinterpret_cast<const __m256i*>(entry));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p),
                        _mm256_blendv_epi8(pixels, entries, colourBytes));
  }
  Apply32<kShared>(c, p, n);
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
  uint32_t* entry = cc->Cube;
  for (uint32_t b = 0; b < 256; ++b)
    for (uint32_t r = 0; r < 256; ++r)
      for (uint32_t g = 0; g < 256; ++g) *entry++ = PackColour(r, g, b);
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
