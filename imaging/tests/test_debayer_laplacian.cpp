// The Laplacian demosaic members: the worked cases (the 16-bit green of 6142,
// truncation toward zero, ties, a vertical edge, limiting to 0..M), the ring's
// diagonal weights, frames without an inner zone, refusals, flat and 16-bit
// extreme frames, and every member against a per-pixel reference.
#include <gtest/gtest.h>

#include "imaging/tests/interp_reference.h"

namespace {

using namespace interp_test;

const Members kMembers = INTERP_TEST_MEMBERS(Laplacian);

TEST(DebayerLaplacian, SixteenBitGreenAboveTheSampleRange) {
  // GBRG B site (3, 2) of 4095 with W = E = S = 4095 and W2, E2, N2, S2, N = 0:
  // the horizontal direction wins, 4095 + trunc(8190 / 4) = 6142. Also in a
  // wide frame, where the site lies in a later block of the row.
  for (int x0 : {0, 18})
    for (int format = 2; format < 4; ++format) {
      Frame f{x0 + 6 + (x0 ? 16 : 0), 6, {}};
      f.s.assign(static_cast<size_t>(f.w) * f.h, 0);
      const int x = x0 + 3;
      f.s[2 * f.w + x] = 4095;
      SetCross(f, x, 2, 0, 4095, 4095, 4095, 1);
      SetCross(f, x, 2, 0, 0, 0, 0, 2);
      const Outcome r = RunMember(kMembers, format, BAYER_GBRG, f.s, f.w, f.h);
      EXPECT_EQ(Channel(r, format, f.w, x, 2, 1), 6142u) << kFormats[format] << " width " << f.w;
      ExpectImage(r, format, f, Expected(kLaplacian, f, BAYER_GBRG, 65535),
                  Describe("Laplacian", format, 2, f.w, f.h));
    }
}

// An inner-zone R or B site, the samples around it, and the green it gets in
// the 8-bit and in the 16-bit members.
struct GreenCase {
  uint16_t c, n2, s2, w2, e2, n, s, w, e;
  uint32_t g8, g16;
};

void CheckGreens(std::initializer_list<GreenCase> cases) {
  for (const GreenCase& c : cases)
    ForSites(
        kMembers, "Laplacian", false,
        [&](Frame& f, int x, int y) {
          f.s[y * f.w + x] = c.c;
          SetCross(f, x, y, c.n2, c.s2, c.w2, c.e2, 2);
          SetCross(f, x, y, c.n, c.s, c.w, c.e, 1);
        },
        [&](const Site& s) { EXPECT_EQ(s.Out(1), s.format < 2 ? c.g8 : c.g16) << s.what; });
}

TEST(DebayerLaplacian, CorrectionsTruncateTowardZero) {
  CheckGreens({
      {10, 0, 0, 11, 12, 0, 100, 50, 50, 50, 50},    // horizontal wins, Dh = -3: adds nothing
      {10, 0, 0, 11, 13, 0, 100, 50, 50, 49, 49},    // Dh = -4: subtracts 1
      {10, 11, 12, 0, 0, 50, 50, 0, 100, 50, 50},    // vertical wins, Dv = -3
      {10, 11, 13, 0, 0, 50, 50, 0, 100, 49, 49},    // Dv = -4
      {10, 12, 12, 11, 12, 40, 40, 41, 40, 40, 40},  // tie Kh = Kv = 4: trunc(-7 / 8) = 0
      {10, 14, 14, 14, 14, 40, 40, 40, 40, 38, 38},  // flat tie: 40 + trunc(-16 / 8)
      {20, 11, 11, 11, 12, 40, 40, 41, 40, 44, 44},  // tie Kh = Kv = 18: 40 + trunc(35 / 8)
  });
}

TEST(DebayerLaplacian, GreenAtAVerticalEdgeTakesItsOwnSide) {
  const int w = 40, h = 8;
  for (int boundary : {4, 5, 19, 20, 36})
    for (int format = 0; format < 4; ++format)
      for (int phase = 0; phase < 4; ++phase) {
        Frame f{w, h, std::vector<uint16_t>(static_cast<size_t>(w) * h)};
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) f.s[y * w + x] = x < boundary ? 60 : 180;
        const Outcome r = RunMember(kMembers, format, phase, f.s, w, h);
        for (int x : {boundary - 1, boundary})
          for (int y = 2; y <= h - 3; ++y) {
            if (ColourAt(phase, x, y) == kG || x < 2 || x > w - 3) continue;
            EXPECT_EQ(Channel(r, format, w, x, y, 1), x < boundary ? 60u : 180u)
                << Describe("Laplacian", format, phase, w, h) << " at (" << x << ", " << y << ")";
          }
        ExpectImage(r, format, f, Expected(kLaplacian, f, phase, format < 2 ? 255 : 65535),
                    Describe("Laplacian", format, phase, w, h));
      }
}

TEST(DebayerLaplacian, ValuesAreLimitedToTheOutputRange) {
  // 8-bit: a green of 255 + 127 is stored as 255, one of 0 - 127 as 0; the
  // 16-bit members keep 382.
  CheckGreens(
      {{255, 0, 0, 0, 0, 0, 255, 255, 255, 255, 382}, {0, 255, 255, 255, 255, 0, 255, 0, 0, 0, 0}});
  // Whole frames that push every rule past both limits.
  for (int format = 0; format < 4; ++format)
    for (int phase = 0; phase < 4; ++phase) {
      const int64_t top = format < 2 ? 255 : 65535;
      Frame f{40, 8, std::vector<uint16_t>(320)};
      for (int i = 0; i < 320; ++i) f.s[i] = (i * 7 / 3) % 5 < 2 ? static_cast<uint16_t>(top) : 0;
      ExpectImage(RunMember(kMembers, format, phase, f.s, 40, 8), format, f,
                  Expected(kLaplacian, f, phase, top), Describe("Laplacian", format, phase, 40, 8));
    }
}

TEST(DebayerLaplacian, RingDiagonalWeighsNeTwiceAndIgnoresSe) {
  CheckDiagonalWeight(kMembers, "Laplacian", true, 1, 1, 0);
  CheckDiagonalWeight(kMembers, "Laplacian", true, 1, -1, 2);
}

TEST(DebayerLaplacian, FramesWithoutInnerZoneEqualBilinear) {
  CheckNoInnerZoneEqualsBilinear(kMembers, "Laplacian");
}

TEST(DebayerLaplacian, RefusedSizesLeaveTheDestinationUntouched) {
  CheckRefusals(kMembers,
                {{5, 4}, {4, 2}, {5, 6}, {6, 2}, {4, 5}, {2, 4}, {3, 3}, {0, 0}, {-4, 4}, {4, -4}});
}

TEST(DebayerLaplacian, ConstantFrameGivesThatValueEverywhere) { CheckConstantFrames(kMembers); }

TEST(DebayerLaplacian, EveryMemberMatchesTheReference) {
  CheckAgainstReference(kLaplacian, "Laplacian", kMembers);
}

TEST(DebayerLaplacian, SixteenBitExtremesDoNotOverflow) {
  CheckSixteenBitExtremes(kLaplacian, kMembers);
}

}  // namespace
