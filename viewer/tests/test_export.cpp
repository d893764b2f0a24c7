// Single-frame export: numbered BMP names that skip taken ones, rows padded
// to 4 bytes, the BMP and the clipboard image equal to the rendered picture
// (ImageMagick compare), a BMP that cannot be written; the AVI part names.
#include <QClipboard>
#include <QGuiApplication>

#include "viewer/Export.h"
#include "viewer/tests/ExportTestSupport.h"

namespace {

[[maybe_unused]] ::testing::Environment* const Environment =
    ::testing::AddGlobalTestEnvironment(new ViewerEnvironment);

class ExportTest : public ViewerTest {
 protected:
  ExportTest() { form->Session.WorkDir = dir.path(); }
  QString Work(const QString& name) const { return dir.filePath(name); }
};

TEST(ExportNames, PartNamesAndFreeNumbers) {
  EXPECT_EQ(AVIPartFileName(QStringLiteral("/w/VIDEO_"), 7, 12, QStringLiteral(".AVI")),
            QStringLiteral("/w/VIDEO_0007-PART-0012.AVI"));
  EXPECT_EQ(AVIPartFileName(QStringLiteral("V_"), 123456, 10000, QStringLiteral(".AVI")),
            QStringLiteral("V_123456-PART-10000.AVI"));
  QTemporaryDir dir;
  const QString prefix = dir.filePath(QStringLiteral("VIDEO_"));
  // A number is taken by any of its parts.
  QFile(prefix + QStringLiteral("0000-PART-0000.AVI")).open(QIODevice::WriteOnly);
  QFile(prefix + QStringLiteral("0001-PART-0003.AVI")).open(QIODevice::WriteOnly);
  std::int32_t counter = 0;
  EXPECT_EQ(NextFreeAVIFileName(prefix, counter), prefix + QStringLiteral("0002-PART-0000.AVI"));
  EXPECT_EQ(counter, 2);
  // So is it by a folder or a dangling link of a part's name.
  QDir(dir.path()).mkdir(QStringLiteral("VIDEO_0002-PART-0001.AVI"));
  QFile::link(dir.filePath(QStringLiteral("gone")), prefix + QStringLiteral("0003-PART-0000.AVI"));
  EXPECT_EQ(NextFreeAVIFileName(prefix, counter), prefix + QStringLiteral("0004-PART-0000.AVI"));
  EXPECT_EQ(counter, 4);
}

TEST_F(ExportTest, SaveFrameTakesTheNextFreeNumber) {
  const std::vector<std::uint8_t> samples = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  WriteRAWFile(Work(QStringLiteral("f.raw")), MakeHeader(1, 5, 2), {Record(samples)});
  OpenAt(Work(QStringLiteral("f.raw")), 1);
  QFile(Work(QStringLiteral("FRAME_0000.BMP"))).open(QIODevice::WriteOnly);
  QFile::link(Work(QStringLiteral("nowhere")), Work(QStringLiteral("FRAME_0001.BMP")));
  form->mSaveFrameClick();
  form->mSaveFrameClick();
  EXPECT_EQ(form->Session.BMPCounter, 3);
  EXPECT_EQ(QFile(Work(QStringLiteral("FRAME_0000.BMP"))).size(), 0);
  EXPECT_EQ(ReadBytes(Work(QStringLiteral("FRAME_0002.BMP"))),
            ReadBytes(Work(QStringLiteral("FRAME_0003.BMP"))));
  // Mode 0 saves the grey samples as three equal bytes; 5 pixels make rows
  // of 16 bytes with one zero byte, stored bottom-up.
  const std::vector<std::uint8_t> bmp = ReadBytes(Work(QStringLiteral("FRAME_0002.BMP")));
  ASSERT_EQ(bmp.size(), 54u + 2 * 16);
  std::vector<std::uint8_t> rows;
  for (int y : {1, 0}) {
    for (int x = 0; x < 5; ++x) rows.insert(rows.end(), 3, samples[y * 5 + x]);
    rows.push_back(0);
  }
  EXPECT_EQ(std::vector<std::uint8_t>(bmp.begin() + 54, bmp.end()), rows);
  EXPECT_EQ(bmp[38] | bmp[42], 0);  // no resolution
  // 4 pixels: rows of 12 bytes, no filler.
  WriteRAWFile(Work(QStringLiteral("g.raw")), MakeHeader(1, 4, 2),
               {Record({1, 2, 3, 4, 5, 6, 7, 8})});
  OpenAt(Work(QStringLiteral("g.raw")), 1);
  form->mSaveFrameClick();
  EXPECT_EQ(ReadBytes(Work(QStringLiteral("FRAME_0004.BMP"))).size(), 54u + 2 * 12);
  EXPECT_TRUE(messages.isEmpty()) << TakeMessages().toStdString();
}

TEST_F(ExportTest, BMPAndClipboardEqualTheRenderedPicture) {
  if (!HaveTool("compare")) GTEST_SKIP() << "ImageMagick compare missing";
  const TSampleFile& s = SampleFiles[2];  // compressed 8-bit, 320 x 180
  OpenAt(SamplePath(SampleName(s)), SampleFrame);
  SetColorCorrectionMatrix(form->Session.ColorCorrectionObject.get(), SampleCorrectionMatrix);
  SetColorCorrectionMode(form->Session.ColorCorrectionObject.get(), CorrectionMatrix);
  form->Session.CorrectionOn = true;
  int n = 0;
  for (int mode : {0, 4, 7}) {
    SCOPED_TRACE(mode);
    form->Session.SetDebayerMode(mode);
    const QString shown = Work(QStringLiteral("shown%1.png").arg(mode));
    ASSERT_TRUE(Shown().save(shown));
    form->mSaveFrameClick();
    const QString bmp = Work(QStringLiteral("FRAME_%1.BMP").arg(n++, 4, 10, QLatin1Char('0')));
    EXPECT_EQ(DifferingPixels(bmp, shown), QStringLiteral("0"));
    form->mCopyFrameClick();
    const QImage copied = QGuiApplication::clipboard()->image();
    EXPECT_EQ(copied.size(), Shown().size());
    const QString clip = Work(QStringLiteral("clip%1.png").arg(mode));
    ASSERT_TRUE(copied.save(clip));
    EXPECT_EQ(DifferingPixels(clip, shown), QStringLiteral("0"));
  }
  EXPECT_TRUE(messages.isEmpty()) << TakeMessages().toStdString();
}

TEST_F(ExportTest, ABMPThatCannotBeWrittenIsReported) {
  WriteRAWFile(Work(QStringLiteral("f.raw")), MakeHeader(1, 4, 2),
               {Record(std::vector<std::uint8_t>(8, 9))});
  OpenAt(Work(QStringLiteral("f.raw")), 1);
  form->Session.WorkDir = Work(QStringLiteral("missing"));
  form->mSaveFrameClick();
  EXPECT_EQ(TakeMessages(), QStringLiteral("Error|Error write file:") +
                                Work(QStringLiteral("missing/FRAME_0000.BMP")));
  // No file open: said, and no request is left for a later file's frame.
  form->FormClose();
  form->mSaveFrameClick();
  EXPECT_FALSE(form->Session.SavePending);
  EXPECT_EQ(TakeMessages(), QStringLiteral("Error|File not open!"));
}

}  // namespace
