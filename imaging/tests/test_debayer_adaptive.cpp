// The adaptive demosaic members: the worked 6 x 6 frames, the gradient test
// and its ties, the ring without the test, the diagonal weights in both
// zones, frames without an inner zone, refusals, flat and 16-bit extreme
// frames, and every member against a per-pixel reference on random frames.
#include <gtest/gtest.h>

#include "imaging/tests/interp_reference.h"

namespace {

using namespace interp_test;

const Members kMembers = INTERP_TEST_MEMBERS(Adaptive);
const Members kBilinearMembers = INTERP_TEST_MEMBERS(Bilinear);

std::vector<uint8_t> Pixel8to24(const Outcome& r, int w, int x, int y) {
  const size_t i = (static_cast<size_t>(y) * w + x) * 3;
  return {static_cast<uint8_t>(r.out[i]), static_cast<uint8_t>(r.out[i + 1]),
          static_cast<uint8_t>(r.out[i + 2])};
}

TEST(DebayerAdaptive, WorkedRampFrame) {
  Frame f{6, 6, {}};
  for (int i = 0; i < 36; ++i) f.s.push_back(static_cast<uint16_t>(4 * (i + 1)));
  const Outcome adaptive = RunMember(kMembers, 0, BAYER_GBRG, f.s, 6, 6);
  const Outcome bilinear = RunMember(kBilinearMembers, 0, BAYER_GBRG, f.s, 6, 6);
  using V = std::vector<uint8_t>;
  EXPECT_EQ(Pixel8to24(adaptive, 6, 2, 3), (V{84, 84, 84}));  // inner R site
  EXPECT_EQ(Pixel8to24(adaptive, 6, 3, 2), (V{64, 64, 64}));  // inner B site
  EXPECT_EQ(Pixel8to24(bilinear, 6, 2, 3), (V{72, 84, 84}));
  EXPECT_EQ(Pixel8to24(bilinear, 6, 3, 2), (V{64, 64, 52}));
  for (const Outcome* r : {&adaptive, &bilinear}) {
    EXPECT_EQ(Pixel8to24(*r, 6, 1, 2), (V{56, 56, 44}));  // ring sites
    EXPECT_EQ(Pixel8to24(*r, 6, 2, 1), (V{24, 36, 36}));
  }
  for (int format = 0; format < 4; ++format)
    ExpectImage(RunMember(kMembers, format, BAYER_GBRG, f.s, 6, 6), format, f,
                Expected(kAdaptive, f, BAYER_GBRG, 255),
                Describe("Adaptive", format, BAYER_GBRG, 6, 6));
}

TEST(DebayerAdaptive, WorkedVerticalMeanFrame) {
  // The R site (2, 3) of a GBRG frame of zeros: U = |50 - 50| = 0 < V = 80.
  Frame f{6, 6, std::vector<uint16_t>(36, 0)};
  auto set = [&](int x, int y, uint16_t v) { f.s[y * 6 + x] = v; };
  set(2, 3, 100), set(2, 1, 50), set(2, 5, 50), set(2, 2, 40), set(2, 4, 60);
  set(0, 3, 10), set(1, 3, 20), set(3, 3, 80), set(4, 3, 90);
  for (int format = 0; format < 4; ++format) {
    const Outcome r = RunMember(kMembers, format, BAYER_GBRG, f.s, 6, 6);
    EXPECT_EQ(Channel(r, format, 6, 2, 3, 0), 0u);
    EXPECT_EQ(Channel(r, format, 6, 2, 3, 1), 50u);
    EXPECT_EQ(Channel(r, format, 6, 2, 3, 2), 100u);
  }
}

TEST(DebayerAdaptive, GradientTestAndItsTies) {
  struct Case {
    uint16_t n2, s2, w2, e2;
    uint32_t g;  // with N = 41, S = 60, W = 13, E = 100
  };
  const uint32_t vertical = (41 + 60) >> 1, horizontal = (13 + 100) >> 1,
                 four = (41 + 60 + 13 + 100) >> 2;
  for (const Case& c : {Case{30, 30, 10, 90, vertical}, Case{10, 90, 40, 40, horizontal},
                        Case{10, 20, 30, 20, four}, Case{60, 60, 70, 70, four},
                        Case{0, 100, 50, 49, horizontal}, Case{5, 7, 100, 0, vertical}})
    ForSites(
        kMembers, "Adaptive", false,
        [&](Frame& f, int x, int y) {
          SetCross(f, x, y, c.n2, c.s2, c.w2, c.e2, 2);
          SetCross(f, x, y, 41, 60, 13, 100, 1);
        },
        [&](const Site& s) { EXPECT_EQ(s.Out(1), c.g) << s.what; });
}

TEST(DebayerAdaptive, RingTakesTheFourNeighbourMeanWithoutTheTest) {
  ForSites(
      kMembers, "Adaptive", true,
      [](Frame& f, int x, int y) {
        SetCross(f, x, y, 41, 60, 13, 100, 1);
        if (x + 2 < f.w)
          f.s[y * f.w + x + 2] = 150;  // a strong horizontal gradient where there is a sample
      },
      [](const Site& s) { EXPECT_EQ(s.Out(1), (41u + 60 + 13 + 100) >> 2) << s.what; });
}

TEST(DebayerAdaptive, DiagonalWeightsInTheInnerZoneAndTheRing) {
  CheckDiagonalWeight(kMembers, "Adaptive", false, 1, 1, 1);   // inner SE: a quarter
  CheckDiagonalWeight(kMembers, "Adaptive", false, 1, -1, 1);  // inner NE: a quarter
  CheckDiagonalWeight(kMembers, "Adaptive", true, 1, 1, 0);    // ring SE: not read
  CheckDiagonalWeight(kMembers, "Adaptive", true, 1, -1, 2);   // ring NE: counts twice
}

TEST(DebayerAdaptive, FramesWithoutInnerZoneEqualBilinear) {
  CheckNoInnerZoneEqualsBilinear(kMembers, "Adaptive");
}

TEST(DebayerAdaptive, RefusedSizesLeaveTheDestinationUntouched) {
  CheckRefusals(kMembers,
                {{5, 4}, {4, 5}, {2, 4}, {4, 2}, {3, 3}, {0, 0}, {-4, 4}, {4, -4}, {6, 3}});
}

TEST(DebayerAdaptive, ConstantFrameGivesThatValueEverywhere) { CheckConstantFrames(kMembers); }

TEST(DebayerAdaptive, EveryMemberMatchesTheReference) {
  CheckAgainstReference(kAdaptive, "Adaptive", kMembers);
}

TEST(DebayerAdaptive, SixteenBitExtremesDoNotOverflow) {
  CheckSixteenBitExtremes(kAdaptive, kMembers);
}

}  // namespace
