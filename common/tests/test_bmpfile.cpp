// BMP files: header fields and padded bottom-up rows for widths with and
// without filler, the screen resolution, files that cannot be written.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <vector>

#include "common/BMPFile.h"

namespace {

std::uint32_t U32(const QByteArray& b, int at) {
  std::uint32_t v;
  std::memcpy(&v, b.constData() + at, 4);
  return v;
}

TEST(BMPFileTest, HeaderAndPaddedBottomUpRows) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  struct Case {
    int width, height;
    std::uint32_t rowBytes;
  } cases[] = {{642, 3, 1928}, {5, 2, 16}, {4, 2, 12}, {1, 1, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    const int rowPixels = c.width * 3;
    std::vector<std::uint8_t> picture(static_cast<std::size_t>(rowPixels) * c.height);
    for (std::size_t i = 0; i < picture.size(); ++i)
      picture[i] = static_cast<std::uint8_t>(i * 7 + 1);
    const QString name = dir.filePath(QStringLiteral("f%1.bmp").arg(c.width));
    ASSERT_TRUE(WriteBMPFile(name, picture.data(), c.width, c.height, 3780, 3781));
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray b = file.readAll();
    const std::uint32_t image = c.rowBytes * c.height;
    ASSERT_EQ(static_cast<std::uint32_t>(b.size()), 54 + image);
    EXPECT_EQ(b.left(2), "BM");
    const std::uint32_t fields[] = {
        54 + image, 0, 54, 40, std::uint32_t(c.width), std::uint32_t(c.height)};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(U32(b, 2 + 4 * i), fields[i]) << i;
    EXPECT_EQ(U32(b, 26), 1u | 24u << 16);  // planes, bits per pixel
    const std::uint32_t rest[] = {0, image, 3780, 3781, 0, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(U32(b, 30 + 4 * i), rest[i]) << i;
    for (int row = 0; row < c.height; ++row) {
      const char* stored = b.constData() + 54 + row * c.rowBytes;
      const std::uint8_t* source = picture.data() + (c.height - 1 - row) * rowPixels;
      EXPECT_EQ(std::memcmp(stored, source, rowPixels), 0) << row;
      for (std::uint32_t i = rowPixels; i < c.rowBytes; ++i) EXPECT_EQ(stored[i], 0);
    }
  }
}

TEST(BMPFileTest, ScreenResolutionAndUnwritableFiles) {
  EXPECT_EQ(PixelsPerMeter(96), 3780);
  EXPECT_EQ(PixelsPerMeter(72), 2835);
  EXPECT_EQ(PixelsPerMeter(120), 4724);
  const std::uint8_t pixel[3] = {1, 2, 3};
  EXPECT_FALSE(WriteBMPFile(QStringLiteral("/no/such/folder/f.bmp"), pixel, 1, 1));
  // An existing name, a device included, is never written to.
  EXPECT_FALSE(WriteBMPFile(QStringLiteral("/dev/full"), pixel, 1, 1));
}

TEST(BMPFileTest, ANewFileOnlyNeverReplacesOne) {
  QTemporaryDir dir;
  const QString name = dir.filePath(QStringLiteral("f.bmp"));
  const std::uint8_t pixel[3] = {1, 2, 3};
  ASSERT_TRUE(WriteBMPFile(name, pixel, 1, 1, 0, 0, platform::FileCreation::NewOnly));
  EXPECT_FALSE(WriteBMPFile(name, pixel, 1, 1, 0, 0, platform::FileCreation::NewOnly));
  EXPECT_EQ(QFile(name).size(), 58);
  EXPECT_TRUE(WriteBMPFile(name, pixel, 1, 1, 0, 0, platform::FileCreation::Replace));
}

}  // namespace
