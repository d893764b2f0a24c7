// The picture through the driver API: brightness follows exposure and gain
// by the register arithmetic, black level and the sensor's gamma bit act
// visibly, and the scene has its colours and fine detail.
#include <gtest/gtest.h>

#include <cmath>

#include "simcam/tests/support_camera.h"

namespace simcam_test {
namespace {

// Colour-checker patch (row, column): a 96 x 96 square inside it.
struct Patch {
  int x, y;
};
constexpr Patch PatchAt(int row, int col) { return {80 + 144 * col, 80 + 144 * row}; }
constexpr Patch kWhite = PatchAt(3, 0);
constexpr Patch kGrey = PatchAt(3, 3);
constexpr Patch kRed = PatchAt(2, 2);
constexpr Patch kBlue = PatchAt(2, 0);
constexpr int kAutomaticBlack = 64;  // 12-bit dark level with automatic black level

class PictureTest : public CameraTest {
 protected:
  // Mean 12-bit sample of the green sites of a patch.
  double Green(Patch p) { return Mean(p, 0, 0); }
  double Mean(Patch p, int px, int py) {
    const std::vector<std::uint16_t> samples =
        Unpack(QDV_STREAM_PACKED12, GrabFrame(QDV_STREAM_PACKED12, 1), 1920, 1080);
    return MeanOf(samples, 1920, p.x, p.y, 96, 96, px, py);
  }
};

TEST_F(PictureTest, BrightnessFollowsExposure) {
  const double full = Green(kWhite) - kAutomaticBlack;
  EXPECT_GT(full, 3000);  // a well exposed white
  EXPECT_LT(full, 3800);
  ASSERT_TRUE(SetExposure(h_, 337));  // 338 of 675 line lengths
  EXPECT_NEAR((Green(kWhite) - kAutomaticBlack) / full, 338.0 / 675, 0.005);
  // The exposure is a time: the same rows at a slower clock last longer.
  ASSERT_TRUE(SetExposure(h_, 140));
  const double fast = Green(kGrey) - kAutomaticBlack;
  ASSERT_TRUE(SetFrequency(h_, 3));  // 26.041666 instead of 64.8 MHz
  EXPECT_NEAR((Green(kGrey) - kAutomaticBlack) / fast, 64.8 / 26.041666, 0.03);
}

TEST_F(PictureTest, BrightnessFollowsGain) {
  ASSERT_TRUE(SetExposure(h_, 70));
  const double base = Green(kWhite) - kAutomaticBlack;
  for (std::int32_t units : {1000, 2500, -1000}) {
    SCOPED_TRACE(units);
    ASSERT_TRUE(SetGain(h_, units));
    const double expected = std::pow(10.0, 0.006 * units / 20);
    EXPECT_NEAR((Green(kWhite) - kAutomaticBlack) / base, expected, 0.01 * expected);
  }
  ASSERT_TRUE(SetGain(h_, 4000));  // 24 dB on the full exposure: clipped
  ASSERT_TRUE(SetExposure(h_, 1349));
  EXPECT_EQ(Green(kWhite), 4095);
}

TEST_F(PictureTest, BlackLevelSetsTheDarkLevel) {
  ASSERT_TRUE(SetExposure(h_, 0));  // one line length: next to no signal
  EXPECT_NEAR(Green(kGrey), kAutomaticBlack, 3);
  ASSERT_TRUE(SetBlackLevelValue(h_, 100));
  EXPECT_NEAR(Green(kGrey), kAutomaticBlack, 3);  // automatic: the value is not used
  ASSERT_TRUE(SetBlackLevelStatus(h_, 1));
  EXPECT_NEAR(Green(kGrey), 400, 3);
  ASSERT_TRUE(SetBlackLevelValue(h_, 0));
  EXPECT_LT(Green(kGrey), 3);
  // Seen in the 8-bit picture too.
  ASSERT_TRUE(SetBlackLevelValue(h_, 255));
  const std::vector<std::uint8_t> picture = GrabFrame(QDV_STREAM_RAW8, 1);
  EXPECT_NEAR(MeanOf(picture, 1920, kGrey.x, kGrey.y, 96, 96, 0, 0), 1020 / 16, 1);
}

TEST_F(PictureTest, SensorGammaLiftsTheMidTones) {
  const double linear = Green(kGrey) - kAutomaticBlack;
  WriteRegister(0x7080);
  const double companded = Green(kGrey) - kAutomaticBlack;
  EXPECT_NEAR(companded, 4095 * std::pow(linear / 4095, 1 / 2.2), 0.02 * companded);
  EXPECT_GT(companded, 1.5 * linear);
  WriteRegister(0x7000);
  EXPECT_NEAR(Green(kGrey) - kAutomaticBlack, linear, 1);
}

TEST_F(PictureTest, ChartColoursAndFineDetail) {
  // GBRG: red sites at (0, 1), blue sites at (1, 0).
  EXPECT_GT(Mean(kRed, 0, 1), 2.5 * Mean(kRed, 0, 0));
  EXPECT_GT(Mean(kBlue, 1, 0), 1.5 * Mean(kBlue, 0, 1));
  // Grey patches: green above red and blue (the sensor's own colour balance).
  EXPECT_GT(Mean(kGrey, 0, 0), Mean(kGrey, 0, 1));
  EXPECT_GT(Mean(kGrey, 0, 0), Mean(kGrey, 1, 0));

  // The zone plate's rim carries detail at the sampling limit: neighbouring
  // green samples of a row swing across most of the range.
  const std::vector<std::uint8_t> picture = GrabFrame(QDV_STREAM_RAW8, 1);
  int largest = 0;
  const int y = 344;
  for (int x = 1424 - 270; x < 1424 - 200; x += 2)
    largest = std::max(largest, std::abs(picture[y * 1920 + x] - picture[y * 1920 + x + 2]));
  EXPECT_GT(largest, 100);
}

}  // namespace
}  // namespace simcam_test
