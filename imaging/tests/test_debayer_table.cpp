// The member table: Debayer8Member / Debayer16Member give, for every family,
// format and phase, the member of that name, in member order.
#include <gtest/gtest.h>

#include "imaging/debayer.h"

namespace {

#define PHASE_ROW(Family, format)                                            \
  {                                                                          \
    Debayer##Family##_##format##_RGGB, Debayer##Family##_##format##_GRBG,    \
        Debayer##Family##_##format##_GBRG, Debayer##Family##_##format##_BGGR \
  }

const Debayer8Func k8[8][2][4] = {
    {PHASE_ROW(Mono, 8to24), PHASE_ROW(Mono, 8to32)},
    {PHASE_ROW(Bayer, 8to24), PHASE_ROW(Bayer, 8to32)},
    {PHASE_ROW(Nearest, 8to24), PHASE_ROW(Nearest, 8to32)},
    {PHASE_ROW(Bin2x2, 8to24), PHASE_ROW(Bin2x2, 8to32)},
    {PHASE_ROW(Bilinear, 8to24), PHASE_ROW(Bilinear, 8to32)},
    {PHASE_ROW(Adaptive, 8to24), PHASE_ROW(Adaptive, 8to32)},
    {PHASE_ROW(Laplacian, 8to24), PHASE_ROW(Laplacian, 8to32)},
    {PHASE_ROW(Preview, 8to24), PHASE_ROW(Preview, 8to32)},
};
const Debayer16Func k16[8][2][4] = {
    {PHASE_ROW(Mono, 16to48), PHASE_ROW(Mono, 16to64)},
    {PHASE_ROW(Bayer, 16to48), PHASE_ROW(Bayer, 16to64)},
    {PHASE_ROW(Nearest, 16to48), PHASE_ROW(Nearest, 16to64)},
    {PHASE_ROW(Bin2x2, 16to48), PHASE_ROW(Bin2x2, 16to64)},
    {PHASE_ROW(Bilinear, 16to48), PHASE_ROW(Bilinear, 16to64)},
    {PHASE_ROW(Adaptive, 16to48), PHASE_ROW(Adaptive, 16to64)},
    {PHASE_ROW(Laplacian, 16to48), PHASE_ROW(Laplacian, 16to64)},
    {PHASE_ROW(Preview, 16to48), PHASE_ROW(Preview, 16to64)},
};

TEST(DebayerTable, EveryMemberInMemberOrder) {
  for (int family = 0; family < 8; ++family)
    for (int phase = 0; phase < 4; ++phase) {
      EXPECT_EQ(Debayer8Member(family, DEBAYER_8TO24, phase), k8[family][0][phase])
          << family << " " << phase;
      EXPECT_EQ(Debayer8Member(family, DEBAYER_8TO32, phase), k8[family][1][phase])
          << family << " " << phase;
      EXPECT_EQ(Debayer16Member(family, DEBAYER_16TO48, phase), k16[family][0][phase])
          << family << " " << phase;
      EXPECT_EQ(Debayer16Member(family, DEBAYER_16TO64, phase), k16[family][1][phase])
          << family << " " << phase;
    }
  EXPECT_EQ(Debayer8Member(DEBAYER_BAYER, DEBAYER_8TO24, BAYER_GBRG), DebayerBayer_8to24_GBRG);
  EXPECT_EQ(Debayer16Member(DEBAYER_BAYER, DEBAYER_16TO64, BAYER_BGGR), DebayerBayer_16to64_BGGR);
}

TEST(DebayerTable, OutOfRangeArguments) {
  // A family outside 0..7 counts as Mono, as DebayerMode does.
  EXPECT_EQ(Debayer8Member(8, DEBAYER_8TO24, BAYER_GBRG), DebayerMono_8to24_GBRG);
  EXPECT_EQ(Debayer8Member(-1, DEBAYER_8TO32, BAYER_RGGB), DebayerMono_8to32_RGGB);
  EXPECT_EQ(Debayer16Member(100, DEBAYER_16TO64, BAYER_BGGR), DebayerMono_16to64_BGGR);
  // A format of the other sample width, or out of range, or a bad phase: NULL.
  EXPECT_EQ(Debayer8Member(DEBAYER_BAYER, DEBAYER_16TO48, BAYER_GBRG), nullptr);
  EXPECT_EQ(Debayer8Member(DEBAYER_BAYER, -1, BAYER_GBRG), nullptr);
  EXPECT_EQ(Debayer16Member(DEBAYER_BAYER, DEBAYER_8TO32, BAYER_GBRG), nullptr);
  EXPECT_EQ(Debayer16Member(DEBAYER_BAYER, 4, BAYER_GBRG), nullptr);
  EXPECT_EQ(Debayer8Member(DEBAYER_BAYER, DEBAYER_8TO24, 4), nullptr);
  EXPECT_EQ(Debayer16Member(DEBAYER_BAYER, DEBAYER_16TO48, -1), nullptr);
}

}  // namespace
