// The member table: Debayer8Member / Debayer16Member return the member of a
// family for a format and phase, in member order (family by DebayerMode,
// format 8to24, 8to32, 16to48, 16to64, phase RGGB, GRBG, GBRG, BGGR).
#include <cstdint>

#include "imaging/debayer.h"

namespace {

#define IMAGING_TABLE_PHASES(Family, format)                                 \
  {                                                                          \
    Debayer##Family##_##format##_RGGB, Debayer##Family##_##format##_GRBG,    \
        Debayer##Family##_##format##_GBRG, Debayer##Family##_##format##_BGGR \
  }

#define IMAGING_TABLE_FAMILY8(Family) \
  { IMAGING_TABLE_PHASES(Family, 8to24), IMAGING_TABLE_PHASES(Family, 8to32) }
#define IMAGING_TABLE_FAMILY16(Family) \
  { IMAGING_TABLE_PHASES(Family, 16to48), IMAGING_TABLE_PHASES(Family, 16to64) }

// [family][format - first format of this sample width][phase]
constexpr Debayer8Func kMembers8[8][2][4] = {
    IMAGING_TABLE_FAMILY8(Mono),      IMAGING_TABLE_FAMILY8(Bayer),
    IMAGING_TABLE_FAMILY8(Nearest),   IMAGING_TABLE_FAMILY8(Bin2x2),
    IMAGING_TABLE_FAMILY8(Bilinear),  IMAGING_TABLE_FAMILY8(Adaptive),
    IMAGING_TABLE_FAMILY8(Laplacian), IMAGING_TABLE_FAMILY8(Preview),
};
constexpr Debayer16Func kMembers16[8][2][4] = {
    IMAGING_TABLE_FAMILY16(Mono),      IMAGING_TABLE_FAMILY16(Bayer),
    IMAGING_TABLE_FAMILY16(Nearest),   IMAGING_TABLE_FAMILY16(Bin2x2),
    IMAGING_TABLE_FAMILY16(Bilinear),  IMAGING_TABLE_FAMILY16(Adaptive),
    IMAGING_TABLE_FAMILY16(Laplacian), IMAGING_TABLE_FAMILY16(Preview),
};

#undef IMAGING_TABLE_FAMILY16
#undef IMAGING_TABLE_FAMILY8
#undef IMAGING_TABLE_PHASES

// A family outside 0..7 counts as Mono, as DebayerMode does.
inline int32_t FamilyIndex(int32_t family) {
  return family >= DEBAYER_MONO && family <= DEBAYER_PREVIEW ? family : DEBAYER_MONO;
}

inline bool PhaseInRange(int32_t phase) { return phase >= BAYER_RGGB && phase <= BAYER_BGGR; }

}  // namespace

extern "C" Debayer8Func Debayer8Member(int32_t family, int32_t format, int32_t phase) {
  if (format < DEBAYER_8TO24 || format > DEBAYER_8TO32 || !PhaseInRange(phase)) return nullptr;
  return kMembers8[FamilyIndex(family)][format - DEBAYER_8TO24][phase];
}

extern "C" Debayer16Func Debayer16Member(int32_t family, int32_t format, int32_t phase) {
  if (format < DEBAYER_16TO48 || format > DEBAYER_16TO64 || !PhaseInRange(phase)) return nullptr;
  return kMembers16[FamilyIndex(family)][format - DEBAYER_16TO48][phase];
}
