// The video panel: its own copy of each picture, the pixel conversions, the
// refusals, and painting at 100 % and scaled.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPixmap>

#include <cstdint>
#include <vector>

#include "VideoPanel.h"

namespace {

class PanelEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char arg0[] = "test_render_panel";
    static char* argv[] = {arg0, nullptr};
    new QApplication(argc, argv);
  }
  void TearDown() override { delete qApp; }
};
[[maybe_unused]] ::testing::Environment* const Environment =
    ::testing::AddGlobalTestEnvironment(new PanelEnvironment);

TEST(PixelConversion, GreyAndBGRBecomeOpaquePixels) {
  const std::uint8_t grey[] = {0, 1, 128, 255};
  std::uint32_t out[5] = {0, 0, 0, 0, 0xdeadbeef};
  ConvertGreyToRGB32(grey, out, 4);
  EXPECT_EQ(out[0], 0xff000000u);
  EXPECT_EQ(out[1], 0xff010101u);
  EXPECT_EQ(out[2], 0xff808080u);
  EXPECT_EQ(out[3], 0xffffffffu);
  EXPECT_EQ(out[4], 0xdeadbeefu);

  // B, G, R bytes; the source ends exactly after the last pixel.
  std::vector<std::uint8_t> bgr = {1, 2, 3, 10, 20, 30, 0xff, 0x80, 0x00};
  ConvertBGR24ToRGB32(bgr.data(), out, 3);
  EXPECT_EQ(out[0], 0xff030201u);
  EXPECT_EQ(out[1], 0xff1e140au);
  EXPECT_EQ(out[2], 0xff0080ffu);
  EXPECT_EQ(out[3], 0xffffffffu);  // untouched
  ConvertBGR24ToRGB32(bgr.data() + 6, out, 1);
  EXPECT_EQ(out[0], 0xff0080ffu);
  ConvertBGR24ToRGB32(bgr.data(), out, 0);
  EXPECT_EQ(out[0], 0xff0080ffu);
}

TEST(VideoPanel, KeepsItsOwnCopyAndRefusesBadPictures) {
  TVideoPanel panel;
  EXPECT_FALSE(panel.HasPicture());
  EXPECT_TRUE(panel.Picture().isNull());
  std::vector<std::uint8_t> bgr(4 * 2 * 3);
  for (std::size_t i = 0; i < bgr.size(); ++i) bgr[i] = static_cast<std::uint8_t>(10 * i);
  ASSERT_TRUE(panel.SetPicture(bgr.data(), 4, 2, 24));
  std::fill(bgr.begin(), bgr.end(), 0);  // the caller's buffer moves on
  EXPECT_EQ(panel.PictureWidth(), 4);
  EXPECT_EQ(panel.PictureHeight(), 2);
  EXPECT_EQ(panel.PictureBits(), 24);
  const QImage picture = panel.Picture();
  EXPECT_EQ(picture.pixel(0, 0), qRgb(20, 10, 0));
  EXPECT_EQ(picture.pixel(3, 1), qRgb(230, 220, 210));

  const std::vector<std::uint8_t> big(1921 * 1081 * 3, 1);
  EXPECT_FALSE(panel.SetPicture(nullptr, 4, 2, 24));
  EXPECT_FALSE(panel.SetPicture(big.data(), 0, 2, 24));
  EXPECT_FALSE(panel.SetPicture(big.data(), 4, -1, 24));
  EXPECT_FALSE(panel.SetPicture(big.data(), 1921, 2, 24));
  EXPECT_FALSE(panel.SetPicture(big.data(), 4, 1081, 8));
  EXPECT_FALSE(panel.SetPicture(big.data(), 4, 2, 16));
  EXPECT_EQ(panel.Picture().pixel(0, 0), qRgb(20, 10, 0));  // the previous picture stays

  // The largest picture, then a grey one of another size.
  ASSERT_TRUE(panel.SetPicture(big.data(), 1920, 1080, 24));
  EXPECT_EQ(panel.Picture().pixel(1919, 1079), qRgb(1, 1, 1));
  const std::uint8_t grey[] = {0, 50, 100, 150, 200, 250};
  ASSERT_TRUE(panel.SetPicture(grey, 3, 2, 8));
  EXPECT_EQ(panel.PictureBits(), 8);
  EXPECT_EQ(panel.Picture().size(), QSize(3, 2));
  EXPECT_EQ(panel.Picture().pixel(2, 1), qRgb(250, 250, 250));

  panel.ClearPicture();
  EXPECT_FALSE(panel.HasPicture());
  EXPECT_EQ(panel.PictureBits(), 0);
}

TEST(VideoPanel, PaintsThePictureOverItsWholeArea) {
  TVideoPanel panel;
  panel.SetCaption(QStringLiteral("Stopped"));
  panel.resize(40, 30);
  // Without a picture: the caption on the panel's background.
  const QImage stopped = panel.grab().toImage();
  EXPECT_EQ(stopped.pixel(20, 2), panel.palette().window().color().rgb());

  // At 100 % every pixel is the picture's own.
  std::vector<std::uint8_t> bgr(40 * 30 * 3);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      std::uint8_t* p = &bgr[3 * (y * 40 + x)];
      p[0] = static_cast<std::uint8_t>(x * 6);
      p[1] = static_cast<std::uint8_t>(y * 8);
      p[2] = 99;
    }
  ASSERT_TRUE(panel.SetPicture(bgr.data(), 40, 30, 24));
  const QImage same = panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(same.pixel(x, y), qRgb(99, y * 8, x * 6)) << x << y;

  // Scaled up 8 times and down by 4: a flat picture stays flat, edge to edge.
  std::vector<std::uint8_t> flat(40 * 30 * 3);
  for (std::size_t i = 0; i < flat.size(); i += 3) {
    flat[i] = 30;
    flat[i + 1] = 160;
    flat[i + 2] = 220;
  }
  ASSERT_TRUE(panel.SetPicture(flat.data(), 40, 30, 24));
  for (QSize drawn : {QSize(320, 240), QSize(10, 7)}) {
    panel.resize(drawn);
    const QImage scaled = panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(scaled.size(), drawn);
    for (int y = 0; y < drawn.height(); ++y)
      for (int x = 0; x < drawn.width(); ++x)
        ASSERT_EQ(scaled.pixel(x, y), qRgb(220, 160, 30)) << x << "," << y;
  }

  // Smooth scaling: a black and white picture shows grey between them.
  const std::uint8_t edge[] = {0, 255, 0, 255};
  ASSERT_TRUE(panel.SetPicture(edge, 2, 2, 8));
  panel.resize(64, 64);
  const QImage smooth = panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_LT(qRed(smooth.pixel(2, 30)), 40);
  EXPECT_GT(qRed(smooth.pixel(61, 30)), 215);
  const int middle = qRed(smooth.pixel(32, 30));
  EXPECT_GT(middle, 60);
  EXPECT_LT(middle, 195);
}

}  // namespace
