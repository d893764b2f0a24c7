// Sample files recorded from the simulated camera, record SampleFrame in
// every stream format and demosaicing mode, with and without colour
// correction: the viewer shows exactly the image library's picture of the
// camera's frame and the camera application's picture of it.
#include "viewer/tests/ViewerTestSupport.h"

namespace {

[[maybe_unused]] ::testing::Environment* const Environment =
    ::testing::AddGlobalTestEnvironment(new ViewerEnvironment);

class RoundTripTest : public ViewerTest {};

TEST_F(RoundTripTest, EverySampleFormatAndModeShowsTheLibraryAndApplicationPicture) {
  ColorCorrection* reference = CreateColorCorrection();
  SetColorCorrectionMatrix(reference, SampleCorrectionMatrix);
  SetColorCorrectionMode(reference, CorrectionMatrix);
  SetColorCorrectionMatrix(form->Session.ColorCorrectionObject.get(), SampleCorrectionMatrix);
  SetColorCorrectionMode(form->Session.ColorCorrectionObject.get(), CorrectionMatrix);

  for (const TSampleFile& s : SampleFiles) {
    SCOPED_TRACE(SampleName(s).toStdString());
    const std::vector<std::uint8_t> camera = ReadBytes(SamplePath(CameraFrameName(s)));
    ASSERT_FALSE(camera.empty());
    OpenAt(SamplePath(SampleName(s)), SampleFrame);
    ASSERT_EQ(form->Session.FrameBytes, camera.size());
    for (bool corrected : {false, true}) {
      form->Session.CorrectionOn = corrected;
      for (int mode = 0; mode <= 7; ++mode) {
        SCOPED_TRACE(testing::Message() << "mode " << mode << (corrected ? ", corrected" : ""));
        form->Session.SetDebayerMode(mode);
        const QImage shown = Shown();
        EXPECT_TRUE(shown == LibraryPicture(s.streamStatus, camera, s.width, s.height, mode,
                                            corrected ? reference : nullptr));
        if (HasAppPictures(s)) {
          const QImage app(SamplePath(AppPictureName(s, mode, corrected)));
          EXPECT_TRUE(shown == app.convertToFormat(QImage::Format_RGB32));
        }
        EXPECT_EQ(form->StatusText(), QStringLiteral("Frame:%1").arg(SampleFrame));
      }
    }
  }
  EXPECT_TRUE(messages.isEmpty()) << TakeMessages().toStdString();
  FreeColorCorrection(reference);
}

// The file's other records follow in order and the end is reported.
TEST_F(RoundTripTest, NextFrameStepsToTheEndAndGoToBeginReturns) {
  const TSampleFile& s = SampleFiles[0];
  Open(SamplePath(SampleName(s)));
  EXPECT_EQ(form->windowTitle(),
            QString::fromLatin1(TAppForm::FileCaption) + SamplePath(SampleName(s)));
  for (int k = 1; k <= s.frames; ++k) {
    form->mNextFrameClick();
    EXPECT_EQ(form->StatusText(), QStringLiteral("Frame:%1").arg(k));
  }
  form->mNextFrameClick();
  EXPECT_EQ(TakeMessages(), QStringLiteral("Error|Error read file:") + SamplePath(SampleName(s)));
  EXPECT_EQ(form->Session.LastRecordRead(), TRecordRead::EndOfFile);
  form->mGotoBeginClick();
  EXPECT_EQ(form->StatusText(), QStringLiteral("Frame:1"));
  EXPECT_TRUE(messages.isEmpty());
}

}  // namespace
