// The bilinear demosaic members: the worked 4 x 4 frame, refusals, flat
// frames, the diagonal rule's weights, rounding, and every member against a
// per-pixel reference on random frames.
#include <gtest/gtest.h>

#include "imaging/tests/interp_reference.h"

namespace {

using namespace interp_test;

const Members kMembers = INTERP_TEST_MEMBERS(Bilinear);

Frame FourByFour() {
  Frame f{4, 4, {}};
  for (int i = 0; i < 16; ++i) f.s.push_back(static_cast<uint16_t>(10 * (i + 1)));
  return f;
}

TEST(DebayerBilinear, WorkedFourByFourFrame) {
  const Frame f = FourByFour();
  const std::vector<uint8_t> want = {
      20,  10,  50,  20,  33,  60,  30,  30,  70,  40,  55,  70,    // row 0
      60,  53,  50,  60,  60,  60,  50,  70,  70,  80,  80,  70,    // row 1
      100, 90,  90,  100, 100, 80,  110, 110, 110, 120, 116, 110,   // row 2
      100, 115, 130, 100, 140, 140, 110, 136, 150, 120, 160, 150};  // row 3
  std::vector<uint8_t> src(f.s.begin(), f.s.end()), dst(48, 0xEE);
  ASSERT_EQ(DebayerBilinear_8to24_GBRG(src.data(), 4, 4, dst.data()), 1);
  EXPECT_EQ(dst, want);
  // The reference agrees, and the other formats give the same values.
  for (int format = 0; format < 4; ++format)
    ExpectImage(RunMember(kMembers, format, BAYER_GBRG, f.s, 4, 4), format, f,
                Expected(kBilinear, f, BAYER_GBRG, 255),
                Describe("Bilinear", format, BAYER_GBRG, 4, 4));
}

TEST(DebayerBilinear, RefusedSizesLeaveTheDestinationUntouched) {
  CheckRefusals(kMembers,
                {{5, 4}, {4, 5}, {2, 4}, {4, 2}, {3, 3}, {0, 0}, {-4, 4}, {4, -4}, {2, 2}, {6, 7}});
}

TEST(DebayerBilinear, ConstantFrameGivesThatValueEverywhere) { CheckConstantFrames(kMembers); }

TEST(DebayerBilinear, InteriorDiagonalWeighsNeTwiceAndIgnoresSe) {
  // Sites one and two pixels from the edges, in every block position.
  for (bool nearEdge : {false, true}) {
    CheckDiagonalWeight(kMembers, "Bilinear", nearEdge, 1, 1, 0);
    CheckDiagonalWeight(kMembers, "Bilinear", nearEdge, 1, -1, 2);
  }
}

TEST(DebayerBilinear, MeansRoundDown) {
  // GBRG: the top-row B site (1, 0) takes G = (1 + 2 + 2) / 3 = 1 and the
  // top-row G site (2, 0) takes B = (1 + 2) >> 1 = 1.
  Frame f{4, 4, std::vector<uint16_t>(16, 0)};
  f.s[0] = 1, f.s[1] = 1, f.s[2] = 2, f.s[3] = 2, f.s[5] = 2;
  for (int format = 0; format < 4; ++format) {
    const Outcome r = RunMember(kMembers, format, BAYER_GBRG, f.s, 4, 4);
    EXPECT_EQ(Channel(r, format, 4, 1, 0, 1), 1u);
    EXPECT_EQ(Channel(r, format, 4, 2, 0, 0), 1u);
    ExpectImage(r, format, f, Expected(kBilinear, f, BAYER_GBRG, 65535),
                Describe("Bilinear", format, 2, 4, 4));
  }
}

TEST(DebayerBilinear, EveryMemberMatchesTheReference) {
  CheckAgainstReference(kBilinear, "Bilinear", kMembers);
}

TEST(DebayerBilinear, SixteenBitExtremesDoNotOverflow) {
  CheckSixteenBitExtremes(kBilinear, kMembers);
}

}  // namespace
