// The live-video pipeline: GrabFrame and RenderFrame on the simulated camera
// in deterministic mode, against the image library's output for the same
// frame; zoom codes and labels; the demosaicing mode; request flags; the
// frame thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <cstring>
#include <vector>

#include "Commands.h"
#include "QDV47B5API.h"
#include "VideoPanel.h"
#include "fmMain.h"
#include "imaging.h"
#include "simcam/SimCamera.h"
#include "test_render_setup.h"

namespace {

simcam::SimCamera* Sim = nullptr;

// One application, one controller and one main window for the whole
// program, as in the camera application.
class AppEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char arg0[] = "test_render";
    static char* argv[] = {arg0, nullptr};
    new QApplication(argc, argv);
    Sim = &StartLiveVideoApplication();
  }
  void TearDown() override {
    TThread::ShutDownAll();
    AppCommand->MainView = nullptr;
    delete MainForm;
    delete qApp;  // also releases the font configuration it loaded
  }
};
[[maybe_unused]] ::testing::Environment* const Environment =
    ::testing::AddGlobalTestEnvironment(new AppEnvironment);

// The picture the pipeline must show for a frame, computed with the image
// library from the frame's bytes: width x height pixels, 8 (grey) or 24 bits.
struct Picture {
  std::vector<std::uint8_t> pixels;
  int width = 0;
  int height = 0;
  int bits = 0;
};

// A demosaic that refuses the size leaves Image24 as it was, and that is
// what is drawn: the expectation starts from Image24's present contents.
Picture ExpectedPicture(std::uint32_t code, const std::vector<std::uint8_t>& frame, int width,
                        int height, int mode, ColorCorrection* correction = nullptr) {
  const int count = width * height;
  std::vector<std::uint8_t> samples(static_cast<std::size_t>(count));
  std::vector<std::uint16_t> wide(static_cast<std::size_t>(count) + 16 * height);
  switch (code) {
    case 1:
      std::memcpy(samples.data(), frame.data(), samples.size());
      break;
    case 2:
      Unpack12Bit(frame.data(), width, height, wide.data());
      for (int i = 0; i < count; ++i) samples[i] = static_cast<std::uint8_t>(wide[i] >> 4);
      break;
    case 3:
      DecodeCompressedLines(frame.data(), static_cast<std::uint32_t>(frame.size()), width, height,
                            samples.data());
      break;
    case 4:
      Unpack10Bit(frame.data(), width, height, wide.data());
      for (int i = 0; i < count; ++i) samples[i] = static_cast<std::uint8_t>(wide[i] >> 2);
      break;
  }
  Picture p;
  if (mode < 1 || mode > 7) {
    p.pixels = samples;
    p.width = width;
    p.height = height;
    p.bits = 8;
    return p;
  }
  p.pixels.assign(Image24, Image24 + static_cast<std::size_t>(count) * 3);
  Debayer8Member(mode, DEBAYER_8TO24, BAYER_GBRG)(samples.data(), width, height, p.pixels.data());
  p.width = mode == 7 ? width / 2 : width;
  p.height = mode == 7 ? height / 2 : height;
  p.pixels.resize(static_cast<std::size_t>(p.width) * p.height * 3);
  p.bits = 24;
  if (correction != nullptr) ApplyColorCorrection(correction, p.pixels.data(), p.width, p.height);
  return p;
}

// Whether the video panel shows exactly this picture.
::testing::AssertionResult PanelShows(const Picture& expected) {
  const TVideoPanel* panel = MainForm->VideoPanel;
  if (panel->PictureWidth() != expected.width || panel->PictureHeight() != expected.height ||
      panel->PictureBits() != expected.bits)
    return ::testing::AssertionFailure()
           << "panel shows " << panel->PictureWidth() << "x" << panel->PictureHeight() << "x"
           << panel->PictureBits() << ", expected " << expected.width << "x" << expected.height
           << "x" << expected.bits;
  const QImage image = panel->Picture();
  for (int y = 0; y < expected.height; ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < expected.width; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * expected.width + x;
      int b, g, r;
      if (expected.bits == 8) {
        b = g = r = expected.pixels[i];
      } else {
        b = expected.pixels[3 * i];
        g = expected.pixels[3 * i + 1];
        r = expected.pixels[3 * i + 2];
      }
      if (qRed(line[x]) != r || qGreen(line[x]) != g || qBlue(line[x]) != b)
        return ::testing::AssertionFailure() << "pixel " << x << "," << y << " differs";
    }
  }
  return ::testing::AssertionSuccess();
}

ViewPortRecord CurrentViewPort() {
  ViewPortRecord viewPort{};
  CameraDevice->GetViewPort(viewPort);
  return viewPort;
}

// The frame that the next GrabFrame will receive.
std::vector<std::uint8_t> NextFrame() {
  std::vector<std::uint8_t> frame(FrameBufferSize);
  DWORD bytes = 0;
  EXPECT_EQ(Sim->RenderFrame(Sim->FrameNumber(), frame.data(), FrameBufferSize, bytes), 0u);
  frame.resize(bytes);
  return frame;
}

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Sim->PowerOn();
    Sim->SetTiming(simcam::Timing::Deterministic);
    AppCommand->StopVideo();
    AppCommand->Running = false;
    AppCommand->TriggerShotArmed = false;
    AppCommand->ActiveCorrection = nullptr;
    AppCommand->SetZoom(1);
    AppCommand->SetDebayerMode(1);
    MainForm->SetVideoPanelFill(false);
  }
  void TearDown() override { CameraDevice->SetStreamStatus(0); }

  static void StartStream(std::uint32_t code) {
    AppCommand->OutMode = static_cast<std::int32_t>(code);
    CameraDevice->SetStreamStatus(code);
    CameraDevice->SetDefaultLookupTable();
  }
};

TEST_F(RenderTest, EachStreamFormatAndModeShowsTheLibraryPicture) {
  for (std::uint32_t code = 1; code <= 4; ++code) {
    StartStream(code);
    const ViewPortRecord viewPort = CurrentViewPort();
    for (int mode = 0; mode <= 7; ++mode) {
      SCOPED_TRACE(testing::Message() << "stream " << code << ", mode " << mode);
      AppCommand->SetDebayerMode(mode);
      const std::vector<std::uint8_t> frame = NextFrame();
      const std::int32_t before = AppCommand->FrameCount;
      ASSERT_TRUE(AppCommand->GrabFrame());
      EXPECT_EQ(AppCommand->FrameCount, before + 1);
      const Picture expected = ExpectedPicture(code, frame, static_cast<int>(viewPort.SizeX),
                                               static_cast<int>(viewPort.SizeY), mode);
      EXPECT_TRUE(PanelShows(expected));
      if (expected.bits == 24) {
        EXPECT_EQ(std::memcmp(Image24, expected.pixels.data(), expected.pixels.size()), 0);
      }
      const TBitmapInfoHeader& header = DisplayBitmapInfo.bmiHeader;
      EXPECT_EQ(header.biSize, 40u);
      EXPECT_EQ(header.biWidth, expected.width);
      EXPECT_EQ(header.biHeight, -expected.height);
      EXPECT_EQ(header.biBitCount, expected.bits);
      EXPECT_EQ(header.biSizeImage,
                static_cast<std::uint32_t>(expected.width * expected.height * expected.bits / 8));
    }
  }
}

TEST_F(RenderTest, ColourCorrectionAppliesToColourPicturesOnly) {
  ColorCorrection* reference = CreateColorCorrection();
  ASSERT_NE(reference, nullptr);
  // Swap red and blue and lift green: a correction nobody could miss.
  const double matrix[12] = {0, 0, 1, 0, 0.8, 0, 1, 0, 0, 0, 20, 0};
  for (ColorCorrection* cc : {AppCommand->ColorCorrectionObject, reference}) {
    SetColorCorrectionMatrix(cc, matrix);
    SetColorCorrectionMode(cc, CorrectionMatrix);
  }
  AppCommand->ActiveCorrection = AppCommand->ColorCorrectionObject;
  StartStream(4);
  const ViewPortRecord viewPort = CurrentViewPort();
  for (int mode : {0, 4, 7}) {
    SCOPED_TRACE(testing::Message() << "mode " << mode);
    AppCommand->SetDebayerMode(mode);
    const std::vector<std::uint8_t> frame = NextFrame();
    ASSERT_TRUE(AppCommand->GrabFrame());
    EXPECT_TRUE(PanelShows(ExpectedPicture(4, frame, static_cast<int>(viewPort.SizeX),
                                           static_cast<int>(viewPort.SizeY), mode,
                                           mode == 0 ? nullptr : reference)));
  }
  AppCommand->ActiveCorrection = nullptr;
  SetColorCorrectionMode(AppCommand->ColorCorrectionObject, CorrectionGainHSL);
  FreeColorCorrection(reference);
}

TEST_F(RenderTest, DrawnSizeFollowsZoomAndPreviewHalves) {
  TVideoPanel* panel = MainForm->VideoPanel;
  StartStream(1);
  const ViewPortRecord viewPort = CurrentViewPort();
  ASSERT_EQ(viewPort.SizeX, 1920u);
  ASSERT_EQ(viewPort.SizeY, 1080u);
  // A full frame in mode 7 is a 960 x 540 picture, drawn at zoom 2 as
  // 1920 x 1080.
  AppCommand->SetDebayerMode(7);
  AppCommand->SetZoom(2);
  ASSERT_TRUE(AppCommand->GrabFrame());
  EXPECT_EQ(panel->PictureWidth(), 960);
  EXPECT_EQ(panel->PictureHeight(), 540);
  EXPECT_EQ(panel->size(), QSize(1920, 1080));

  std::vector<std::uint8_t> frame(1000 * 600, 77);
  AppCommand->SetDebayerMode(1);
  struct Case {
    int code;
    QSize drawn;
  };
  for (const Case& c : {Case{-4, {250, 150}}, Case{-3, {333, 200}}, Case{-2, {500, 300}},
                        Case{-1, {1000, 600}}, Case{0, {1000, 600}}, Case{1, {1000, 600}},
                        Case{3, {3000, 1800}}, Case{5, {8000, 4800}}}) {
    SCOPED_TRACE(c.code);
    AppCommand->SetZoom(c.code);
    ASSERT_TRUE(AppCommand->RenderFrame(1, frame.data(), static_cast<std::uint32_t>(frame.size()),
                                        1000, 600, 1));
    EXPECT_EQ(panel->size(), c.drawn);
    EXPECT_EQ(panel->PictureWidth(), 1000);
  }
}

TEST_F(RenderTest, PanelIsCentredInItsBoxOrScrolled) {
  TVideoPanel* panel = MainForm->VideoPanel;
  QScrollArea* box = MainForm->VideoScrollBox;
  std::vector<std::uint8_t> frame(1920 * 1080, 128);
  AppCommand->SetZoom(-4);
  ASSERT_TRUE(AppCommand->RenderFrame(1, frame.data(), static_cast<std::uint32_t>(frame.size()),
                                      200, 100, 1));
  const QSize client = box->viewport()->size();
  ASSERT_GT(client.width(), 50);
  EXPECT_EQ(panel->pos(), QPoint((client.width() - 50) / 2, (client.height() - 25) / 2));
  AppCommand->SetZoom(4);
  ASSERT_TRUE(AppCommand->RenderFrame(1, frame.data(), static_cast<std::uint32_t>(frame.size()),
                                      1920, 1080, 1));
  box->horizontalScrollBar()->setValue(100);
  box->verticalScrollBar()->setValue(40);
  AppCommand->CenterVideoPanel();
  EXPECT_EQ(panel->pos(), QPoint(-100, -40));
}

TEST_F(RenderTest, TwelveBitFrameMapsExactlyWidthTimesHeightSamples) {
  const int width = 64, height = 4;
  std::vector<std::uint8_t> frame(width * height * 3 / 2);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i * 7);
  std::memset(Pixels8, 0xAB, FrameBufferSize);
  ASSERT_TRUE(AppCommand->RenderFrame(2, frame.data(), static_cast<std::uint32_t>(frame.size()),
                                      width, height, 1));
  std::vector<std::uint16_t> wide(width * height);
  Unpack12Bit(frame.data(), width, height, wide.data());
  for (int i = 0; i < width * height; ++i) ASSERT_EQ(Pixels8[i], wide[i] >> 4) << i;
  for (std::uint32_t i = width * height; i < FrameBufferSize; ++i)
    ASSERT_EQ(Pixels8[i], 0xAB) << i;
}

TEST_F(RenderTest, PackedWidthWithoutWholeGroupsReadsNoOldSamples) {
  // Width 6 holds one 12-bit group of four samples per 9-byte row; the last
  // two samples of each row have no group. They read as 0, never as an older
  // frame's values (a value above 4095 would index past the 12-bit table).
  const int width = 6, height = 2;
  std::fill(Pixels16, Pixels16 + 64, std::uint16_t{0xFFFF});
  std::memset(Pixels8, 0xAB, 64);
  std::vector<std::uint8_t> frame(width * 3 / 2 * height, 0xFF);
  ASSERT_TRUE(AppCommand->RenderFrame(2, frame.data(), static_cast<std::uint32_t>(frame.size()),
                                      width, height, 0));
  const std::uint8_t expected[13] = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0,
                                     0xAB};
  for (int i = 0; i < 13; ++i) EXPECT_EQ(Pixels8[i], expected[i]) << i;
  // 10-bit: width 24 is one whole block and 8 samples without one.
  std::fill(Pixels16, Pixels16 + 64, std::uint16_t{0xFFFF});
  std::vector<std::uint8_t> frame10(24 * 10 / 8 * height, 0xFF);
  ASSERT_TRUE(AppCommand->RenderFrame(4, frame10.data(),
                                      static_cast<std::uint32_t>(frame10.size()), 24, height, 0));
  for (int i = 0; i < 48; ++i) EXPECT_EQ(Pixels8[i], i % 24 < 16 ? 0xFF : 0) << i;
}

TEST_F(RenderTest, RefusesFramesThatDoNotFitTheirBuffers) {
  std::vector<std::uint8_t> frame(FrameBufferSize, 50);
  const auto bytes = static_cast<std::uint32_t>(frame.size());
  const std::int32_t before = AppCommand->FrameCount;
  struct Case {
    std::uint32_t code;
    std::uint32_t bytes;
    int width, height;
  };
  for (const Case& c : {
           Case{0, bytes, 64, 64},              // stream off
           Case{5, bytes, 64, 64},              // unknown format
           Case{1, bytes, 0, 64},               // empty
           Case{1, bytes, 64, -2},              // negative
           Case{1, bytes, 1922, 1080},          // wider than the sensor
           Case{1, bytes, 1920, 1082},          // taller than the sensor
           Case{1, 64 * 64 - 1, 64, 64},        // one byte short
           Case{2, 64 * 64 * 3 / 2 - 1, 64, 64},
           Case{4, 64 * 64 * 10 / 8 - 1, 64, 64},
           Case{2, 66 * 3 / 2 * 64 - 1, 66, 64},  // rows of 99 bytes
           Case{4, 64 * 64 * 10 / 8, 72, 64},
       }) {
    SCOPED_TRACE(testing::Message() << "code " << c.code << ", " << c.bytes << " bytes, "
                                    << c.width << "x" << c.height);
    EXPECT_FALSE(AppCommand->RenderFrame(c.code, frame.data(), c.bytes, c.width, c.height, 1));
  }
  EXPECT_FALSE(AppCommand->RenderFrame(1, nullptr, bytes, 64, 64, 1));
  EXPECT_EQ(AppCommand->FrameCount, before);
  // The same frames at their exact sizes are drawn.
  EXPECT_TRUE(AppCommand->RenderFrame(1, frame.data(), 64 * 64, 64, 64, 1));
  EXPECT_TRUE(AppCommand->RenderFrame(2, frame.data(), 64 * 64 * 3 / 2, 64, 64, 1));
  EXPECT_TRUE(AppCommand->RenderFrame(4, frame.data(), 64 * 64 * 10 / 8, 64, 64, 1));
  EXPECT_TRUE(AppCommand->RenderFrame(1, frame.data(), bytes, 1920, 1080, 7));
  EXPECT_EQ(AppCommand->FrameCount, before + 4);
}

TEST_F(RenderTest, OddSizesKeepThePreviousPictureInImage24) {
  std::vector<std::uint8_t> frame(64 * 64, 90);
  std::memset(Image24, 0x5C, 64 * 64 * 3);
  // The interpolating families refuse an odd width: the old contents are drawn.
  ASSERT_TRUE(AppCommand->RenderFrame(1, frame.data(), 63 * 64, 63, 64, 4));
  EXPECT_EQ(Image24[0], 0x5C);
  EXPECT_EQ(qRed(MainForm->VideoPanel->Picture().pixel(0, 0)), 0x5C);
}

TEST_F(RenderTest, RequestsAreServedByTheNextFrame) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString previous = QDir::currentPath();
  QDir::setCurrent(folder.path());
  // A copy request in mode 0 on a 12-bit stream expands the grey samples.
  const int width = 64, height = 32;
  std::vector<std::uint8_t> frame(width * height * 3 / 2, 0x9C);
  AppCommand->SetDebayerMode(0);
  AppCommand->CopyPending = true;
  AppCommand->CorrectionToolPending = true;
  ASSERT_TRUE(AppCommand->RenderFrame(2, frame.data(), static_cast<std::uint32_t>(frame.size()),
                                      width, height, 0));
  EXPECT_FALSE(AppCommand->CopyPending);
  EXPECT_FALSE(AppCommand->CorrectionToolPending);
  EXPECT_EQ(DisplayBitmapInfo.bmiHeader.biBitCount, 24);
  for (int i = 0; i < width * height; ++i) {
    ASSERT_EQ(Image24[3 * i], Pixels8[i]);
    ASSERT_EQ(Image24[3 * i + 2], Pixels8[i]);
  }
  // The tool is never started for a grey picture.
  EXPECT_FALSE(QFile::exists(QStringLiteral("FRAME.BMP")));
  AppCommand->SavePending = true;
  ASSERT_TRUE(AppCommand->RenderFrame(2, frame.data(), static_cast<std::uint32_t>(frame.size()),
                                      width, height, 1));
  EXPECT_FALSE(AppCommand->SavePending);
  QDir::setCurrent(previous);
}

TEST_F(RenderTest, StreamOffGrabsNothing) {
  CameraDevice->SetStreamStatus(0);
  const std::int32_t before = AppCommand->FrameCount;
  EXPECT_FALSE(AppCommand->GrabFrame());
  EXPECT_EQ(AppCommand->FrameCount, before);
}

TEST_F(RenderTest, MissingTriggeredFrameStopsLiveVideo) {
  std::int32_t timeout = 50;
  AppCommand->SetFrameWaitTimeout(timeout);
  StartStream(1);
  AppCommand->Running = true;
  MainForm->SetVideoPanelFill(false);
  CameraDevice->SetTriggerControl(16 | 8 | 2);
  AppCommand->TriggerShotArmed = true;
  Sim->SetStalled(true);
  EXPECT_FALSE(AppCommand->GrabFrame());
  EXPECT_FALSE(AppCommand->Running);
  EXPECT_FALSE(AppCommand->TriggerShotArmed);
  EXPECT_EQ(CameraDevice->GetTriggerControl(), 8u | 2u);
  EXPECT_EQ(CameraDevice->GetStreamStatus(), 0u);
  EXPECT_EQ(MainForm->Panel(PanelFPS), QStringLiteral("Stopped"));
  // Stopping paused the frame thread once more than this test resumed it.
  FrameThread->Resume();
  // Without the armed trigger a missing frame only renders nothing.
  StartStream(1);
  AppCommand->Running = true;
  EXPECT_FALSE(AppCommand->GrabFrame());
  EXPECT_TRUE(AppCommand->Running);
  AppCommand->Running = false;
  Sim->SetStalled(false);
}

TEST_F(RenderTest, FrameThreadRendersLiveVideoUntilStopped) {
  AppCommand->OutMode = 3;
  AppCommand->StartVideo();
  ASSERT_TRUE(AppCommand->Running);
  QElapsedTimer clock;
  clock.start();
  while (AppCommand->FrameCount < 3 && clock.elapsed() < 20000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_GE(AppCommand->FrameCount, 3);
  EXPECT_TRUE(MainForm->VideoPanel->HasPicture());
  AppCommand->StopVideo();
  EXPECT_FALSE(MainForm->VideoPanel->HasPicture());
  EXPECT_FALSE(MainForm->VideoScrollBox->widgetResizable() == false);
  // A hand-over already on its way may still run once; then nothing more.
  QCoreApplication::processEvents();
  const std::int32_t count = AppCommand->FrameCount;
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  EXPECT_EQ(AppCommand->FrameCount, count);
}

// --- Zoom and demosaicing mode ----------------------------------------------------

TEST(Zoom, StepsInAndOut) {
  AppCommand->SetZoom(-4);
  std::vector<int> seen;
  for (int i = 0; i < 8; ++i) {
    AppCommand->ZoomIn();
    seen.push_back(AppCommand->GetZoom());
  }
  EXPECT_EQ(seen, (std::vector<int>{-3, -2, 1, 2, 3, 4, 5, 5}));
  seen.clear();
  for (int i = 0; i < 8; ++i) {
    AppCommand->ZoomOut();
    seen.push_back(AppCommand->GetZoom());
  }
  EXPECT_EQ(seen, (std::vector<int>{4, 3, 2, 1, -2, -3, -4, -4}));
  // The codes only SetZoom produces: 0 steps as 1; -1 steps like any other code.
  AppCommand->SetZoom(0);
  AppCommand->ZoomIn();
  EXPECT_EQ(AppCommand->GetZoom(), 2);
  AppCommand->SetZoom(0);
  AppCommand->ZoomOut();
  EXPECT_EQ(AppCommand->GetZoom(), -2);
  AppCommand->SetZoom(-1);
  AppCommand->ZoomIn();
  EXPECT_EQ(AppCommand->GetZoom(), 0);
  AppCommand->SetZoom(-1);
  AppCommand->ZoomOut();
  EXPECT_EQ(AppCommand->GetZoom(), -2);
}

TEST(Zoom, PercentagesLabelsAndStoredCodes) {
  struct Case {
    int percent, code;
    const char* label;
  };
  for (const Case& c : {Case{25, -4, "Zoom: 25%"}, Case{33, -3, "Zoom: 33%"},
                        Case{50, -2, "Zoom: 50%"}, Case{100, 1, "Zoom: 100%"},
                        Case{200, 2, "Zoom: 200%"}, Case{300, 3, "Zoom: 300%"},
                        Case{400, 4, "Zoom: 400%"}, Case{800, 5, "Zoom: 800%"},
                        Case{500, 1, "Zoom: 100%"}, Case{0, 1, "Zoom: 100%"}}) {
    SCOPED_TRACE(c.percent);
    AppCommand->SetZoom(3);
    AppCommand->SetZoomPercent(c.percent);
    EXPECT_EQ(AppCommand->GetZoom(), c.code);
    EXPECT_EQ(MainForm->Panel(PanelZoom), QString::fromLatin1(c.label));
  }
  // SetZoom stores -4 to 5 and nothing else, and leaves the label alone.
  AppCommand->SetZoomPercent(200);
  for (int code : {6, -5, 100}) {
    AppCommand->SetZoom(code);
    EXPECT_EQ(AppCommand->GetZoom(), 1);
  }
  EXPECT_EQ(MainForm->Panel(PanelZoom), QStringLiteral("Zoom: 200%"));
  for (int code : {-1, 0}) {
    AppCommand->SetZoom(code);
    EXPECT_EQ(AppCommand->GetZoom(), code);
    AppCommand->ShowZoom();
    EXPECT_EQ(MainForm->Panel(PanelZoom), QStringLiteral("Zoom: 100%"));
  }
  AppCommand->ZoomIn();
  EXPECT_EQ(MainForm->Panel(PanelZoom), QStringLiteral("Zoom: 200%"));
  AppCommand->SetZoom(1);
}

TEST(DebayerModeSelection, OutOfRangeStoresMono) {
  for (int mode = 0; mode <= 7; ++mode) {
    AppCommand->SetDebayerMode(mode);
    EXPECT_EQ(AppCommand->DebayerMode, mode);
  }
  for (int mode : {8, -1, 1000}) {
    AppCommand->SetDebayerMode(3);
    AppCommand->SetDebayerMode(mode);
    EXPECT_EQ(AppCommand->DebayerMode, 0) << mode;
  }
}

}  // namespace
