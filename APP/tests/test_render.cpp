// The live-video pipeline on the simulated camera in deterministic mode:
// each stream format and demosaicing mode against the image library's
// picture of the same frame, colour correction, drawn sizes, refused
// frames, requests, the armed trigger, the frame thread; zoom and mode.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>

#include <cstring>
#include <vector>

#include "APP/tests/live_video_environment.h"
#include "QDV47B5API.h"
#include "common/VideoPanel.h"
#include "imaging.h"

namespace {

// The picture for a frame by the image library, as opaque 32-bit pixels. A
// refused demosaic leaves Image24 as it was and that is drawn, so the
// expectation starts from Image24's present contents.
QImage ExpectedPicture(std::uint32_t code, const std::vector<std::uint8_t>& frame, int width,
                       int height, int mode, ColorCorrection* correction) {
  const int count = width * height;
  std::vector<std::uint8_t> samples(frame.begin(), frame.begin() + (code == 1 ? count : 0));
  samples.resize(count);
  std::vector<std::uint16_t> wide(count);
  if (code == 3)
    DecodeCompressedLines(frame.data(), static_cast<std::uint32_t>(frame.size()), width, height,
                          samples.data());
  if (code == 2 || code == 4) {
    (code == 2 ? Unpack12Bit : Unpack10Bit)(frame.data(), width, height, wide.data());
    for (int i = 0; i < count; ++i)
      samples[i] = static_cast<std::uint8_t>(wide[i] >> (code == 2 ? 4 : 2));
  }
  QImage image;
  if (mode < 1 || mode > 7) {
    image = QImage(width, height, QImage::Format_RGB32);
    for (int i = 0; i < count; ++i)
      image.setPixel(i % width, i / width, qRgb(samples[i], samples[i], samples[i]));
    return image;
  }
  std::vector<std::uint8_t> bgr(AppCommand->Render.Image24, AppCommand->Render.Image24 + count * 3);
  Debayer8Member(mode, DEBAYER_8TO24, BAYER_GBRG)(samples.data(), width, height, bgr.data());
  if (mode == 7) width /= 2, height /= 2;
  if (correction != nullptr) ApplyColorCorrection(correction, bgr.data(), width, height);
  image = QImage(width, height, QImage::Format_RGB32);
  for (int i = 0; i < width * height; ++i)
    image.setPixel(i % width, i / width, qRgb(bgr[3 * i + 2], bgr[3 * i + 1], bgr[3 * i]));
  return image;
}

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Sim->PowerOn();
    Sim->SetTiming(simcam::Timing::Deterministic);
    AppCommand->Render.ActiveCorrection = nullptr;
    AppCommand->SetZoom(1);
    MainForm->SetVideoPanelFill(false);
  }
  void TearDown() override { CameraDevice->SetStreamStatus(0); }

  static void StartStream(std::uint32_t code) {
    AppCommand->OutMode = static_cast<std::int32_t>(code);
    CameraDevice->SetStreamStatus(code);
    CameraDevice->SetDefaultLookupTable();
  }
  // Grabs the next frame in a mode; the panel must show the library's picture.
  static void GrabAndCompare(std::uint32_t code, int mode, ColorCorrection* reference) {
    SCOPED_TRACE(testing::Message() << "stream " << code << ", mode " << mode);
    AppCommand->SetDebayerMode(mode);
    std::vector<std::uint8_t> frame(FrameBufferSize);
    DWORD bytes = 0;
    ASSERT_EQ(Sim->RenderFrame(Sim->FrameNumber(), frame.data(), FrameBufferSize, bytes), 0u);
    frame.resize(bytes);
    ViewPortRecord viewPort{};
    CameraDevice->GetViewPort(viewPort);
    const std::int32_t before = AppCommand->Render.FrameCount;
    ASSERT_TRUE(AppCommand->GrabFrame());
    EXPECT_EQ(AppCommand->Render.FrameCount, before + 1);
    const QImage expected = ExpectedPicture(code, frame, static_cast<int>(viewPort.SizeX),
                                            static_cast<int>(viewPort.SizeY), mode, reference);
    EXPECT_TRUE(MainForm->VideoPanel->Picture() == expected);
    EXPECT_EQ(MainForm->VideoPanel->PictureBits(), mode == 0 ? 8 : 24);
    const TBitmapInfoHeader& h = AppCommand->Render.DisplayBitmapInfo.bmiHeader;
    EXPECT_TRUE(h.biSize == 40 && h.biWidth == expected.width() &&
                h.biHeight == -expected.height() && h.biBitCount == (mode == 0 ? 8 : 24));
    // One byte a pixel for the grey picture, three for colour.
    EXPECT_EQ(h.biSizeImage, static_cast<std::uint32_t>(expected.width() * expected.height() *
                                                        (mode == 0 ? 1 : 3)));
  }
};

TEST_F(RenderTest, EachStreamFormatAndModeShowsTheLibraryPicture) {
  for (std::uint32_t code = 1; code <= 4; ++code) {
    StartStream(code);
    for (int mode = 0; mode <= 7; ++mode) GrabAndCompare(code, mode, nullptr);
  }
  // Colour correction acts on colour pictures only.
  ColorCorrection* reference = CreateColorCorrection();
  const double swap[12] = {0, 0, 1, 0, 0.8, 0, 1, 0, 0, 0, 20, 0};
  for (ColorCorrection* cc : {AppCommand->Render.ColorCorrectionObject.get(), reference}) {
    SetColorCorrectionMatrix(cc, swap);
    SetColorCorrectionMode(cc, CorrectionMatrix);
  }
  AppCommand->Render.ActiveCorrection = AppCommand->Render.ColorCorrectionObject.get();
  StartStream(4);
  for (int mode : {0, 4, 7}) GrabAndCompare(4, mode, mode == 0 ? nullptr : reference);
  SetColorCorrectionMode(AppCommand->Render.ColorCorrectionObject.get(), CorrectionGainHSL);
  FreeColorCorrection(reference);
}

TEST_F(RenderTest, DrawnSizeFollowsZoomAndPanelIsPlaced) {
  TVideoPanel* panel = MainForm->VideoPanel;
  // A full frame in mode 7 is a 960 x 540 picture, drawn at zoom 2 as 1920 x 1080.
  StartStream(1);
  AppCommand->SetDebayerMode(7);
  AppCommand->SetZoom(2);
  ASSERT_TRUE(AppCommand->GrabFrame());
  EXPECT_EQ(panel->Picture().size(), QSize(960, 540));
  EXPECT_EQ(panel->size(), QSize(1920, 1080));
  // Code 5 draws at 800 %, as its label says; -1 and 0 at 100 %.
  std::vector<std::uint8_t> frame(1920 * 1080, 77);
  const int codes[] = {-4, -3, -2, -1, 0, 3, 5};
  const QSize drawn[] = {{250, 150},  {333, 200},   {500, 300},  {1000, 600},
                         {1000, 600}, {3000, 1800}, {8000, 4800}};
  for (int i = 0; i < 7; ++i) {
    AppCommand->SetZoom(codes[i]);
    ASSERT_TRUE(AppCommand->RenderFrame(1, frame.data(), 1000 * 600, 1000, 600, 1));
    EXPECT_EQ(panel->size(), drawn[i]) << codes[i];
  }
  // Smaller than the box: centred; larger: placed by the scroll bars.
  QScrollArea* box = MainForm->VideoScrollBox;
  AppCommand->SetZoom(-4);
  ASSERT_TRUE(AppCommand->RenderFrame(1, frame.data(), 200 * 100, 200, 100, 1));
  QCoreApplication::processEvents();
  const QSize client = box->viewport()->size();
  panel->move(0, 0);
  AppCommand->CenterVideoPanel();
  EXPECT_EQ(panel->pos(), QPoint((client.width() - 50) / 2, (client.height() - 25) / 2));
  AppCommand->SetZoom(4);
  ASSERT_TRUE(AppCommand->RenderFrame(1, frame.data(), 1920 * 1080, 1920, 1080, 1));
  box->horizontalScrollBar()->setValue(100);
  box->verticalScrollBar()->setValue(40);
  AppCommand->CenterVideoPanel();
  EXPECT_EQ(panel->pos(), QPoint(-100, -40));
}

TEST_F(RenderTest, TwelveBitFrameMapsExactlyWidthTimesHeightSamples) {
  std::vector<std::uint8_t> frame(64 * 4 * 3 / 2);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i * 7);
  std::memset(AppCommand->Render.Pixels8, 0xAB, FrameBufferSize);
  ASSERT_TRUE(
      AppCommand->RenderFrame(2, frame.data(), static_cast<std::uint32_t>(frame.size()), 64, 4, 1));
  std::vector<std::uint16_t> wide(64 * 4);
  Unpack12Bit(frame.data(), 64, 4, wide.data());
  for (int i = 0; i < 64 * 4; ++i) ASSERT_EQ(AppCommand->Render.Pixels8[i], wide[i] >> 4) << i;
  for (std::uint32_t i = 64 * 4; i < FrameBufferSize; ++i)
    ASSERT_EQ(AppCommand->Render.Pixels8[i], 0xAB) << i;
}

TEST_F(RenderTest, RefusesFramesThatDoNotFitTheirBuffers) {
  std::vector<std::uint8_t> frame(FrameBufferSize, 50);
  const auto all = static_cast<std::uint32_t>(frame.size());
  const std::int32_t before = AppCommand->Render.FrameCount;
  struct Case {
    std::uint32_t code, bytes;
    int width, height;
  };
  for (const Case& c :
       {Case{0, all, 64, 64}, Case{5, all, 64, 64}, Case{1, all, 0, 64}, Case{1, all, 64, -2},
        Case{1, all, 1922, 1080}, Case{1, all, 1920, 1082}, Case{1, 64 * 64 - 1, 64, 64},
        Case{2, 66 * 3 / 2 * 64 - 1, 66, 64}, Case{4, 64 * 80 - 1, 64, 64}})
    EXPECT_FALSE(AppCommand->RenderFrame(c.code, frame.data(), c.bytes, c.width, c.height, 1))
        << c.code << " " << c.bytes << " " << c.width << "x" << c.height;
  EXPECT_FALSE(AppCommand->RenderFrame(1, nullptr, all, 64, 64, 1));
  EXPECT_EQ(AppCommand->Render.FrameCount, before);
  // Exact sizes are drawn.
  EXPECT_TRUE(AppCommand->RenderFrame(1, frame.data(), 64 * 64, 64, 64, 1));
  EXPECT_TRUE(AppCommand->RenderFrame(2, frame.data(), 64 * 96, 64, 64, 1));
  EXPECT_TRUE(AppCommand->RenderFrame(4, frame.data(), 64 * 80, 64, 64, 1));
  EXPECT_EQ(AppCommand->Render.FrameCount, before + 3);
}

TEST_F(RenderTest, RequestsAreServedByTheNextFrame) {
  QTemporaryDir folder;
  const QString previous = QDir::currentPath();
  QDir::setCurrent(folder.path());
  // A copy request in mode 0 on a 12-bit stream expands the grey samples;
  // a correction-tool request for a grey picture is dropped.
  std::vector<std::uint8_t> frame(64 * 32 * 3 / 2, 0x9C);
  AppCommand->Render.CopyPending = AppCommand->Render.CorrectionToolPending =
      AppCommand->Render.SavePending = true;
  ASSERT_TRUE(AppCommand->RenderFrame(2, frame.data(), static_cast<std::uint32_t>(frame.size()), 64,
                                      32, 0));
  EXPECT_FALSE(AppCommand->Render.CopyPending || AppCommand->Render.CorrectionToolPending ||
               AppCommand->Render.SavePending);
  EXPECT_EQ(AppCommand->Render.DisplayBitmapInfo.bmiHeader.biBitCount, 24);
  for (int i = 0; i < 64 * 32; ++i)
    ASSERT_TRUE(AppCommand->Render.Image24[3 * i] == AppCommand->Render.Pixels8[i] &&
                AppCommand->Render.Image24[3 * i + 2] == AppCommand->Render.Pixels8[i])
        << i;
  EXPECT_FALSE(QFile::exists(QStringLiteral("FRAME.BMP")));
  QDir::setCurrent(previous);
}

TEST_F(RenderTest, StreamOffOrMissingFrameRendersNothingAndAnArmedTriggerStops) {
  const std::int32_t before = AppCommand->Render.FrameCount;
  EXPECT_FALSE(AppCommand->GrabFrame());  // stream off
  std::int32_t timeout = 50;
  AppCommand->SetFrameWaitTimeout(timeout);
  Sim->SetStalled(true);
  StartStream(1);
  AppCommand->Running = true;
  EXPECT_FALSE(AppCommand->GrabFrame());  // no frame: live video goes on
  EXPECT_TRUE(AppCommand->Running);
  CameraDevice->SetTriggerControl(16 | 8 | 2);
  AppCommand->Trigger.TriggerShotArmed = true;
  EXPECT_FALSE(AppCommand->GrabFrame());  // armed: the run ends
  EXPECT_FALSE(AppCommand->Running || AppCommand->Trigger.TriggerShotArmed);
  EXPECT_EQ(CameraDevice->GetTriggerControl(), 8u | 2u);
  EXPECT_EQ(CameraDevice->GetStreamStatus(), 0u);
  EXPECT_EQ(MainForm->Panel(PanelFPS), QStringLiteral("Stopped"));
  EXPECT_EQ(AppCommand->Render.FrameCount, before);
  FrameThread->Resume();  // stopping paused it once more than it was resumed
}

TEST_F(RenderTest, FrameThreadRendersLiveVideoUntilStopped) {
  AppCommand->OutMode = 3;
  AppCommand->StartVideo();
  // processEvents returns at once when nothing is pending: wait on a clock.
  for (QDeadlineTimer limit(20000); !limit.hasExpired() && AppCommand->Render.FrameCount < 3;)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_GE(AppCommand->Render.FrameCount, 3);
  EXPECT_TRUE(MainForm->VideoPanel->HasPicture());
  AppCommand->StopVideo();
  EXPECT_FALSE(MainForm->VideoPanel->HasPicture());
  QCoreApplication::processEvents();  // a hand-over already on its way
  const std::int32_t count = AppCommand->Render.FrameCount;
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  EXPECT_EQ(AppCommand->Render.FrameCount, count);
}

TEST(ZoomAndMode, StepsLabelsAndStoredValues) {
  std::vector<int> in, out;
  AppCommand->SetZoom(-4);
  for (int i = 0; i < 8; ++i) AppCommand->ZoomIn(), in.push_back(AppCommand->GetZoom());
  for (int i = 0; i < 8; ++i) AppCommand->ZoomOut(), out.push_back(AppCommand->GetZoom());
  EXPECT_EQ(in, (std::vector<int>{-3, -2, 1, 2, 3, 4, 5, 5}));
  EXPECT_EQ(out, (std::vector<int>{4, 3, 2, 1, -2, -3, -4, -4}));
  AppCommand->SetZoom(0);  // steps as 1
  AppCommand->ZoomOut();
  EXPECT_EQ(AppCommand->GetZoom(), -2);

  const int percents[] = {25, 33, 50, 100, 200, 300, 400, 800, 500};
  const int codes[] = {-4, -3, -2, 1, 2, 3, 4, 5, 1};
  const char* labels[] = {"25", "33", "50", "100", "200", "300", "400", "800", "100"};
  for (int i = 0; i < 9; ++i) {
    AppCommand->SetZoomPercent(percents[i]);
    EXPECT_EQ(AppCommand->GetZoom(), codes[i]);
    EXPECT_EQ(MainForm->Panel(PanelZoom), QStringLiteral("Zoom: %1%").arg(labels[i]));
  }
  // SetZoom stores -4 to 5 only and leaves the label; -1 and 0 read "100".
  for (int code : {6, -5}) {
    AppCommand->SetZoom(code);
    EXPECT_EQ(AppCommand->GetZoom(), 1);
  }
  EXPECT_EQ(MainForm->Panel(PanelZoom), QStringLiteral("Zoom: 100%"));
  for (int code : {-1, 0}) {
    AppCommand->SetZoom(code);
    AppCommand->ShowZoom();
    EXPECT_EQ(MainForm->Panel(PanelZoom), QStringLiteral("Zoom: 100%"));
  }
  AppCommand->SetZoom(1);

  for (int mode : {8, -1, 7, 0, 3}) {
    AppCommand->SetDebayerMode(mode);
    EXPECT_EQ(AppCommand->Render.DebayerMode, mode == 8 || mode == -1 ? 0 : mode);
  }
}

}  // namespace
