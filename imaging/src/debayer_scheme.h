// Shared machinery of the demosaic families: pixel formats, Bayer phases and
// the macro that instantiates a family template as its sixteen C members.
//
// A family is written once as
//   template <class Fmt, int Phase> int32_t Family(const typename Fmt::Sample*,
//                                                  int32_t, int32_t,
//                                                  typename Fmt::Sample*);
// and IMAGING_DEFINE_DEBAYER_MEMBERS(Name, Family) emits the sixteen
// extern "C" members, so that phase and format are compile-time constants
// inside every loop.
#ifndef IMAGING_DEBAYER_SCHEME_H
#define IMAGING_DEBAYER_SCHEME_H

#include <cstdint>

#include "imaging/debayer.h"

namespace imaging {

// Colours of a filter site.
enum Colour : int { kRed = 0, kGreen = 1, kBlue = 2 };

// Pixel formats: sample type, channels written per pixel (3 or 4).
struct Fmt8to24 {
  using Sample = uint8_t;
  static constexpr int kChannels = 3;
};
struct Fmt8to32 {
  using Sample = uint8_t;
  static constexpr int kChannels = 4;
};
struct Fmt16to48 {
  using Sample = uint16_t;
  static constexpr int kChannels = 3;
};
struct Fmt16to64 {
  using Sample = uint16_t;
  static constexpr int kChannels = 4;
};

// Colour of the sample at column x, row y for a phase (BayerPhase value):
// letter 2 * (y mod 2) + (x mod 2) of the phase name.
constexpr Colour PhaseColour(int phase, int x, int y) {
  constexpr Colour kLetters[4][4] = {
      {kRed, kGreen, kGreen, kBlue},  // RGGB
      {kGreen, kRed, kBlue, kGreen},  // GRBG
      {kGreen, kBlue, kRed, kGreen},  // GBRG
      {kBlue, kGreen, kGreen, kRed},  // BGGR
  };
  return kLetters[phase][2 * (y & 1) + (x & 1)];
}

// Writes one output pixel in B, G, R (, 0) order.
template <class Fmt>
inline void StorePixel(typename Fmt::Sample* p, uint32_t r, uint32_t g, uint32_t b) {
  using S = typename Fmt::Sample;
  p[0] = static_cast<S>(b);
  p[1] = static_cast<S>(g);
  p[2] = static_cast<S>(r);
  if constexpr (Fmt::kChannels == 4) p[3] = 0;
}

}  // namespace imaging

#define IMAGING_DEFINE_DEBAYER_PHASE(Name, Family, phase)                                    \
  extern "C" int32_t Debayer##Name##_8to24_##phase(const uint8_t* s, int32_t w, int32_t h,   \
                                                   uint8_t* d) {                             \
    return Family<::imaging::Fmt8to24, BAYER_##phase>(s, w, h, d);                           \
  }                                                                                          \
  extern "C" int32_t Debayer##Name##_8to32_##phase(const uint8_t* s, int32_t w, int32_t h,   \
                                                   uint8_t* d) {                             \
    return Family<::imaging::Fmt8to32, BAYER_##phase>(s, w, h, d);                           \
  }                                                                                          \
  extern "C" int32_t Debayer##Name##_16to48_##phase(const uint16_t* s, int32_t w, int32_t h, \
                                                    uint16_t* d) {                           \
    return Family<::imaging::Fmt16to48, BAYER_##phase>(s, w, h, d);                          \
  }                                                                                          \
  extern "C" int32_t Debayer##Name##_16to64_##phase(const uint16_t* s, int32_t w, int32_t h, \
                                                    uint16_t* d) {                           \
    return Family<::imaging::Fmt16to64, BAYER_##phase>(s, w, h, d);                          \
  }

#define IMAGING_DEFINE_DEBAYER_MEMBERS(Name, Family) \
  IMAGING_DEFINE_DEBAYER_PHASE(Name, Family, RGGB)   \
  IMAGING_DEFINE_DEBAYER_PHASE(Name, Family, GRBG)   \
  IMAGING_DEFINE_DEBAYER_PHASE(Name, Family, GBRG)   \
  IMAGING_DEFINE_DEBAYER_PHASE(Name, Family, BGGR)

#endif
