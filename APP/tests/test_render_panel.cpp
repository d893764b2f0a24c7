// The video panel: its own copy of each picture, the refusals, and painting
// at 100 % and scaled.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPixmap>

#include <vector>

#include "common/VideoPanel.h"
#include "common/tests/QtTestEnvironment.h"

namespace {

[[maybe_unused]] ::testing::Environment* const Environment =
    ::testing::AddGlobalTestEnvironment(new TQtTestEnvironment<QApplication>("test_render_panel"));

TEST(VideoPanel, KeepsItsOwnCopy) {
  TVideoPanel panel;
  std::vector<std::uint8_t> picture(4 * 2 * 3);
  for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<std::uint8_t>(10 * i);
  ASSERT_TRUE(panel.SetPicture(picture.data(), 4, 2, 24));
  std::fill(picture.begin(), picture.end(), 0);  // the caller's buffer moves on
  EXPECT_EQ(panel.Picture().pixel(3, 1), qRgb(230, 220, 210));
  const std::vector<std::uint8_t> big(1921 * 1081 * 3, 1);
  for (QSize size : {QSize(0, 2), QSize(4, -1), QSize(1921, 2), QSize(4, 1081)})
    EXPECT_FALSE(panel.SetPicture(big.data(), size.width(), size.height(), 24));
  EXPECT_FALSE(panel.SetPicture(nullptr, 4, 2, 24));
  EXPECT_FALSE(panel.SetPicture(big.data(), 4, 2, 16));
  EXPECT_EQ(panel.Picture().pixel(0, 0), qRgb(20, 10, 0));  // the previous picture stays
  ASSERT_TRUE(panel.SetPicture(big.data(), 1920, 1080, 8));
  EXPECT_TRUE(panel.PictureBits() == 8 && panel.Picture().pixel(1919, 1079) == qRgb(1, 1, 1));
  panel.ClearPicture();
  EXPECT_FALSE(panel.HasPicture());
}

TEST(VideoPanel, PaintsThePictureOverItsWholeArea) {
  TVideoPanel panel;
  panel.resize(40, 30);
  EXPECT_EQ(panel.grab().toImage().pixel(20, 2), panel.palette().window().color().rgb());
  std::vector<std::uint8_t> bgr(40 * 30 * 3);
  for (int i = 0; i < 40 * 30; ++i) {
    bgr[3 * i] = static_cast<std::uint8_t>(i % 40 * 6);
    bgr[3 * i + 1] = static_cast<std::uint8_t>(i / 40 * 8);
    bgr[3 * i + 2] = 99;
  }
  ASSERT_TRUE(panel.SetPicture(bgr.data(), 40, 30, 24));
  EXPECT_TRUE(panel.grab().toImage().convertToFormat(QImage::Format_RGB32) == panel.Picture());
  // Scaled 8 times up and 4 times down, a flat picture stays flat edge to edge.
  for (std::size_t i = 0; i < bgr.size(); ++i) bgr[i] = i % 3 == 0 ? 30 : i % 3 == 1 ? 160 : 220;
  ASSERT_TRUE(panel.SetPicture(bgr.data(), 40, 30, 24));
  for (QSize drawn : {QSize(320, 240), QSize(10, 7)}) {
    panel.resize(drawn);
    QImage flat(drawn, QImage::Format_RGB32);
    flat.fill(qRgb(220, 160, 30));
    EXPECT_TRUE(panel.grab().toImage().convertToFormat(QImage::Format_RGB32) == flat);
  }
  // Smooth scaling: grey between black and white.
  const std::uint8_t edge[] = {0, 255, 0, 255};
  ASSERT_TRUE(panel.SetPicture(edge, 2, 2, 8));
  panel.resize(64, 64);
  const QImage smooth = panel.grab().toImage();
  EXPECT_LT(qRed(smooth.pixel(2, 30)), 40);
  EXPECT_GT(qRed(smooth.pixel(61, 30)), 215);
  EXPECT_GT(qRed(smooth.pixel(32, 30)), 60);
  EXPECT_LT(qRed(smooth.pixel(32, 30)), 195);
}

}  // namespace
