// Single frames and AVI capture on the simulated camera: frame files read
// back by ImageMagick, requests served by the next frame, the clipboard, the
// colour-correction tool and its matrix; AVI files read back by ffprobe and
// ffmpeg, refusals, the size limit; links at the next free name.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "APP/capture/AVIFile.h"
#include "APP/capture/SingleFrame.h"
#include "APP/tests/AppTestSupport.h"
#include "APP/tests/live_video_environment.h"
#include "QDV47B5API.h"
#include "common/BMPFile.h"
#include "common/Messages.h"
#include "imaging.h"
#include "platform/tests/FileSizeLimit.h"
#include "platform/tests/ShellCommand.h"
#include "platform/tests/StrictAVIReader.h"

namespace {

std::string RunCommand(const QString& command) {
  return ::RunCommand(command.toLocal8Bit().toStdString());
}

bool HaveTools() {
  return !RunCommand(QStringLiteral("command -v ffprobe && command -v ffmpeg && command -v "
                                    "identify && command -v compare"))
              .empty();
}

QByteArray ReadAll(const QString& name) {
  QFile file(name);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::uint32_t U32(const QByteArray& b, int at) {
  std::uint32_t v = 0;
  if (at + 4 <= b.size()) std::memcpy(&v, b.constData() + at, 4);
  return v;
}

// A B, G, R picture as a binary PPM (R, G, B) for ImageMagick.
void WritePPM(const QString& name, const std::vector<std::uint8_t>& bgr, int width, int height) {
  QFile file(name);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QStringLiteral("P6 %1 %2 255\n").arg(width).arg(height).toLatin1());
  for (std::size_t i = 0; i < bgr.size(); i += 3) {
    const char rgb[3] = {char(bgr[i + 2]), char(bgr[i + 1]), char(bgr[i])};
    file.write(rgb, 3);
  }
}

class Settings : public FakeSettingsView {
 public:
  QString CapturePath() const override { return path; }
  int SaveImageMode() const override { return format; }
  QString path;
  int format = 0;
};

struct Message {
  QString caption, text;
  bool operator==(const Message&) const = default;
};

class FramesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    previousDir = QDir::currentPath();
    QDir::setCurrent(dir.path());
    settings.path = dir.path() + QLatin1Char('/');
    AppCommand->SettingsView = &settings;
    Sim->PowerOn();
    Sim->SetTiming(simcam::Timing::Deterministic);
    AppCommand->Render.ActiveCorrection = nullptr;
    AppCommand->Captures.FrameFileCounter = AppCommand->Captures.AVICounter = 0;
  }
  void TearDown() override {
    AppCommand->SettingsView = nullptr;
    AppCommand->Running = false;
    AppCommand->Captures.Frames2Capture = 0;
    CameraDevice->SetStreamStatus(0);
    QDir::setCurrent(previousDir);
  }
  QString Path(const QString& name) const { return dir.filePath(name); }

  QTemporaryDir dir;
  QString previousDir;
  Settings settings;
  std::vector<Message> messages;
  ScopedMessageSink sink{[this](MessageKind, const QString& caption, const QString& text) {
    messages.push_back({caption, text});
  }};
};

// A smooth colour picture (JPEG keeps it close).
std::vector<std::uint8_t> Gradient(int width, int height) {
  std::vector<std::uint8_t> bgr(static_cast<std::size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = &bgr[(static_cast<std::size_t>(y) * width + x) * 3];
      p[0] = static_cast<std::uint8_t>(x * 255 / width);
      p[1] = static_cast<std::uint8_t>(y * 255 / height);
      p[2] = static_cast<std::uint8_t>(255 - x * 200 / width);
    }
  return bgr;
}

TEST_F(FramesTest, FrameFilesAreNumberedAndReadBackByImageMagick) {
  if (!HaveTools()) GTEST_SKIP() << "ImageMagick or ffmpeg not installed";
  const int w = 642, h = 48;
  const auto picture = Gradient(w, h);
  WritePPM(Path("expected.ppm"), picture, w, h);
  for (int i = 0; i < 5; ++i)
    QFile(Path(QStringLiteral("FRAME_%1.BMP").arg(i))).open(QIODevice::WriteOnly);
  std::int32_t counter = 0;
  AppCommand->SaveFrameFile(counter, 0, picture.data(), w, h);
  EXPECT_EQ(counter, 5);
  const QString bmp = Path("FRAME_5.BMP");
  const QByteArray b = ReadAll(bmp);
  EXPECT_EQ(b.size(), 54 + 1928 * h);  // rows of 1,926 bytes and 2 of filler
  const QScreen* screen = QGuiApplication::primaryScreen();
  EXPECT_EQ(U32(b, 38), std::uint32_t(PixelsPerMeter(screen->logicalDotsPerInchX())));
  EXPECT_EQ(U32(b, 42), std::uint32_t(PixelsPerMeter(screen->logicalDotsPerInchY())));
  EXPECT_EQ(RunCommand("identify -format '%m %w %h' " + bmp), "BMP3 642 48");
  EXPECT_EQ(RunCommand("compare -metric AE " + bmp + " " + Path("expected.ppm") + " null: 2>&1"),
            "0");

  AppCommand->SaveFrameFile(counter, 1, picture.data(), w, h);
  const QString jpeg = Path("FRAME_5.jpg");
  EXPECT_EQ(RunCommand("identify -format '%m %w %h' " + jpeg), "JPEG 642 48");
  const double psnr = std::stod(
      RunCommand("compare -metric PSNR " + jpeg + " " + Path("expected.ppm") + " null: 2>&1"));
  EXPECT_GT(psnr, 30.0);
  // The bitmap the JPEG was made from stays in the current directory.
  EXPECT_EQ(RunCommand("compare -metric AE temp.bmp " + Path("expected.ppm") + " null: 2>&1"), "0");

  // A disk that fills inside the JPEG encoder: reported, not fatal, and no
  // part of the file stays (a child process under a file-size limit).
  EXPECT_TRUE(InChildWithFileSizeLimit(
      2000, [&] { return !SaveJPEGFile(Path("full.jpg"), picture.data(), w, h); }));
  EXPECT_FALSE(QFileInfo::exists(Path("full.jpg")));
  AppCommand->SaveFrameFile(counter, 2, picture.data(), w, h);  // no such format
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 9);
  EXPECT_TRUE(messages.empty());
  settings.path = Path("missing/");
  for (int format : {0, 1}) AppCommand->SaveFrameFile(counter, format, picture.data(), w, h);
  EXPECT_EQ(messages,
            (std::vector<Message>{{"ERROR!", "Cannot write file " + Path("missing/FRAME_5.BMP")},
                                  {"ERROR!", "Cannot write file " + Path("missing/FRAME_5.jpg")}}));
}

TEST_F(FramesTest, RequestsAreServedByTheNextRenderedFrame) {
  std::vector<std::uint8_t> grey(64 * 32);
  for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<std::uint8_t>(i * 5);
  AppCommand->SaveFrame();
  AppCommand->CopyFrame();
  EXPECT_FALSE(AppCommand->Render.SavePending || AppCommand->Render.CopyPending);  // stopped
  AppCommand->Running = true;
  // Two saves in an empty folder: number 0 and 1, the grey picture expanded.
  for (int i = 0; i < 2; ++i) {
    AppCommand->SaveFrame();
    ASSERT_TRUE(AppCommand->RenderFrame(1, grey.data(), 64 * 32, 64, 32, 0));
  }
  const QByteArray b = ReadAll(Path("FRAME_1.BMP"));
  ASSERT_EQ(b.size(), 54 + 64 * 3 * 32);
  for (int i = 0; i < 64 * 32; ++i) {
    const int stored = 54 + ((31 - i / 64) * 64 + i % 64) * 3;
    ASSERT_TRUE(b[stored] == char(grey[i]) && b[stored + 1] == char(grey[i]) &&
                b[stored + 2] == char(grey[i]))
        << i;
  }
  EXPECT_TRUE(QFile::exists(Path("FRAME_0.BMP")));
  EXPECT_EQ(AppCommand->Captures.FrameFileCounter, 1);

  // The clipboard receives the colour picture as drawn.
  AppCommand->CopyFrame();
  ASSERT_TRUE(AppCommand->RenderFrame(1, grey.data(), 64 * 32, 64, 32, 4));
  QImage expected(64, 32, QImage::Format_RGB32);
  for (int i = 0; i < 64 * 32; ++i)
    expected.setPixel(
        i % 64, i / 64,
        qRgb(AppCommand->Render.Image24[3 * i + 2], AppCommand->Render.Image24[3 * i + 1],
             AppCommand->Render.Image24[3 * i]));
  EXPECT_TRUE(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32) ==
              expected);
  TBitmapInfo grey8 = AppCommand->Render.DisplayBitmapInfo;
  grey8.bmiHeader.biBitCount = 8;
  EXPECT_FALSE(AppCommand->CopyBitmapToClipboard(64, 32, AppCommand->Render.Image24, grey8));
}

// The render path hands the main window the picture it drew: the 8-bit
// samples as they came, or the 24-bit picture (half size for Preview), at
// the zoom's drawn size.
TEST_F(FramesTest, RenderedPictureGoesToTheMainViewAtTheZoom) {
  FakeMainView view;
  IMainView* const previous = std::exchange(AppCommand->MainView, &view);
  std::vector<std::uint8_t> grey(64 * 32, 90);
  const std::uint8_t* const raw = grey.data();
  const struct {
    int percent, mode;
    FakeMainView::Picture shown;
  } cases[] = {
      {200, DEBAYER_MONO, {raw, 64, 32, 8, 128, 64}},
      {33, DEBAYER_BILINEAR, {AppCommand->Render.Image24, 64, 32, 24, 21, 10}},
      {800, DEBAYER_PREVIEW, {AppCommand->Render.Image24, 32, 16, 24, 256, 128}},
  };
  for (const auto& c : cases) {
    AppCommand->SetZoomPercent(c.percent);
    ASSERT_TRUE(AppCommand->RenderFrame(QDV_STREAM_RAW8, raw, 64 * 32, 64, 32, c.mode));
    const FakeMainView::Picture& s = view.shown;
    EXPECT_TRUE(s.data == c.shown.data && s.width == c.shown.width && s.height == c.shown.height &&
                s.bits == c.shown.bits && s.drawnWidth == c.shown.drawnWidth &&
                s.drawnHeight == c.shown.drawnHeight)
        << c.percent << "% mode " << c.mode << ": " << s.width << "x" << s.height << "x" << s.bits
        << " drawn " << s.drawnWidth << "x" << s.drawnHeight;
  }
  EXPECT_EQ(view.pictures, 3);
  AppCommand->SetZoomPercent(100);
  AppCommand->MainView = previous;
}

TEST_F(FramesTest, CorrectionToolGetsTheFrameAndItsMatrixIsApplied) {
  std::vector<QStringList> started;
  const ProgramStarter previous =
      SetProgramStarter([&](const QString& program, const QStringList& arguments) {
        started.push_back(QStringList{program} + arguments);
      });
  AppCommand->CalibrateColors();
  AppCommand->Running = true;
  AppCommand->SetDebayerMode(0);
  AppCommand->CalibrateColors();
  EXPECT_EQ(messages, (std::vector<Message>{{"Error", "Camera is stopped!"},
                                            {"Error", "Used monochrome convertion!"}}));
  EXPECT_FALSE(AppCommand->Render.CorrectionToolPending);
  AppCommand->SetDebayerMode(4);
  AppCommand->CalibrateColors();
  EXPECT_TRUE(AppCommand->Render.CorrectionToolPending);
  std::vector<std::uint8_t> raw(64 * 32, 90);
  ASSERT_TRUE(AppCommand->RenderFrame(1, raw.data(), 64 * 32, 64, 32, 4));
  EXPECT_EQ(ReadAll(Path("FRAME.BMP")).size(), 54 + 64 * 3 * 32);
  const QStringList tool{QCoreApplication::applicationDirPath() + "/Tintwork.exe", "FRAME.BMP"};
  EXPECT_EQ(started, std::vector<QStringList>{tool});
  // The next frame replaces the file; where a folder holds its name, the
  // failure is reported and the tool is not started on an older file.
  std::vector<std::uint8_t> wide(128 * 32, 90);
  AppCommand->CalibrateColors();
  ASSERT_TRUE(AppCommand->RenderFrame(1, wide.data(), 128 * 32, 128, 32, 4));
  EXPECT_EQ(ReadAll(Path("FRAME.BMP")).size(), 54 + 128 * 3 * 32);
  ASSERT_TRUE(QFile::remove(Path("FRAME.BMP")) && QDir(dir.path()).mkdir("FRAME.BMP"));
  AppCommand->CalibrateColors();
  ASSERT_TRUE(AppCommand->RenderFrame(1, raw.data(), 64 * 32, 64, 32, 4));
  EXPECT_EQ(started, (std::vector<QStringList>{tool, tool}));
  EXPECT_EQ(messages.back(), (Message{"ERROR!", "Cannot write file FRAME.BMP"}));
  EXPECT_TRUE(QFileInfo(Path("FRAME.BMP")).isDir());
  // No temporary file stays behind.
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"FRAME.BMP"});
  SetProgramStarter(previous);
  messages.clear();

  // The tool's answer: only 96 bytes of finite numbers replace the matrix.
  double matrix[12] = {0, 0, 1, 0, 1, 0, 1, 0, 0, 4, 5, 6};
  double read[12] = {};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  SetColorCorrectionMatrix(AppCommand->Render.ColorCorrectionObject.get(),
                           std::vector<double>(12, 0.5).data());
  for (std::uint32_t size : {95u, 97u}) EXPECT_EQ(MainForm->WMCopyData(size, matrix), 2006);
  GetColorCorrectionMatrix(AppCommand->Render.ColorCorrectionObject.get(), read);
  EXPECT_EQ(read[9], 0.5);
  EXPECT_EQ(MainForm->WMCopyData(96, matrix), 2006);
  GetColorCorrectionMatrix(AppCommand->Render.ColorCorrectionObject.get(), read);
  EXPECT_EQ(std::memcmp(read, matrix, sizeof matrix), 0);
  matrix[4] = nan;
  EXPECT_EQ(MainForm->WMCopyData(96, matrix), 2006);
  GetColorCorrectionMatrix(AppCommand->Render.ColorCorrectionObject.get(), read);
  EXPECT_EQ(read[4], 1.0);
}

// ---------------------------------------------------------------------------
// AVI capture.

class AVICaptureTest : public FramesTest {
 protected:
  // An 8-bit stream of 208 x 120 at 29.97 fps.
  void StartStream(std::uint32_t code = 1) {
    ViewPortRecord region{};
    CameraDevice->GetViewPort(region);
    region.SizeX = 208;
    region.SizeY = 120;
    CameraDevice->UpdateViewPort(region);
    CameraDevice->SetFrameRate(29.97);
    AppCommand->OutMode = static_cast<std::int32_t>(code);
    CameraDevice->SetStreamStatus(code);
    CameraDevice->SetDefaultLookupTable();
  }
  // The pictures the render pipeline makes of the next `count` frames.
  static std::string ExpectedFrames(int mode, int count) {
    std::string frames;
    std::vector<std::uint8_t> raw(FrameBufferSize), bgr(208 * 120 * 3);
    for (int i = 0; i < count; ++i) {
      DWORD bytes = 0;
      Sim->RenderFrame(Sim->FrameNumber() + i, raw.data(), FrameBufferSize, bytes);
      if (mode == 0)
        DebayerMono_8to24_GBRG(raw.data(), 208, 120, bgr.data());
      else
        Debayer8Member(mode, DEBAYER_8TO24, BAYER_GBRG)(raw.data(), 208, 120, bgr.data());
      frames.append(reinterpret_cast<const char*>(bgr.data()),
                    mode == 7 ? 104 * 60 * 3 : bgr.size());
    }
    return frames;
  }
  static std::string Probe(const QString& file) {
    return RunCommand(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=codec_name,width,height,r_frame_rate,nb_read_frames -of csv=p=0 " +
        file);
  }
};

TEST_F(AVICaptureTest, StoresOneRenderedFramePerFrameRead) {
  if (!HaveTools()) GTEST_SKIP() << "ImageMagick or ffmpeg not installed";
  StartStream();
  struct Case {
    int mode, frames;
    const char* probe;
  };
  int number = 0;
  for (const Case& c :
       {Case{4, 5, "rawvideo,208,120,2997/100,5\n"}, Case{0, 2, "rawvideo,208,120,2997/100,2\n"},
        Case{7, 3, "rawvideo,104,60,2997/100,3\n"}}) {
    SCOPED_TRACE(c.mode);
    AppCommand->SetDebayerMode(c.mode);
    AppCommand->Captures.Frames2Capture = c.frames;
    const std::string expected = ExpectedFrames(c.mode, c.frames);
    // A mode chosen during the capture does not change its frames.
    QTimer::singleShot(0, [] { AppCommand->SetDebayerMode(2); });
    AppCommand->SaveVideo();
    EXPECT_FALSE(AppCommand->Captures.CaptureRunning);
    EXPECT_TRUE(settings.enabled);
    EXPECT_EQ(MainForm->Panel(PanelStatus), QString::number(c.frames));
    const QString file = Path(QStringLiteral("VIDEO_%1.AVI").arg(number++));
    EXPECT_EQ(Probe(file), c.probe);
    EXPECT_TRUE(RunCommand("ffmpeg -v error -i " + file + " -f rawvideo -pix_fmt bgr24 -") ==
                expected);
    // ffprobe reduces the rate: the stream header holds 29,970 over 1,000.
    const QByteArray b = ReadAll(file);
    EXPECT_EQ(b.mid(100, 4), "strh");
    EXPECT_EQ(U32(b, 128), 1000u);
    EXPECT_EQ(U32(b, 132), 29970u);
  }
  EXPECT_TRUE(messages.empty());
}

TEST_F(AVICaptureTest, ALinkAtTheNextNameIsPassedOverByEveryNewFile) {
  StartStream();
  QTemporaryDir outside;
  const auto picture = Gradient(16, 8);
  const std::int32_t blocks = AppCommand->Captures.PoolBlockCount,
                     blockMB = AppCommand->Captures.PoolBlockSizeMB;
  AppCommand->Captures.PoolBlockCount = 2;
  AppCommand->Captures.PoolBlockSizeMB = 1;
  AppCommand->Captures.RAWCounter = 0;
  AppCommand->Captures.Frames2Capture = 2;
  std::int32_t bmpCounter = 0, jpegCounter = 0;
  const struct {
    const char* linked;
    const char* used;
    std::function<void()> save;
  } cases[] = {
      {"VIDEO_0.RAW", "VIDEO_1.RAW", [] { AppCommand->SaveRAWVideo(); }},
      {"VIDEO_0.AVI", "VIDEO_1.AVI", [] { AppCommand->SaveVideo(); }},
      {"FRAME_0.BMP", "FRAME_1.BMP",
       [&] { AppCommand->SaveFrameFile(bmpCounter, 0, picture.data(), 16, 8); }},
      {"FRAME_0.jpg", "FRAME_1.jpg",
       [&] { AppCommand->SaveFrameFile(jpegCounter, 1, picture.data(), 16, 8); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.linked);
    const QString target = outside.filePath(QString::fromLatin1(c.linked));
    ASSERT_TRUE(QFile::link(target, Path(c.linked)));
    c.save();
    EXPECT_TRUE(QFileInfo(Path(c.linked)).isSymLink());
    EXPECT_GT(QFileInfo(Path(c.used)).size(), 0);
  }
  // Nothing was created through a link.
  EXPECT_TRUE(QDir(outside.path()).isEmpty());
  EXPECT_TRUE(messages.empty());
  AppCommand->Captures.PoolBlockCount = blocks;
  AppCommand->Captures.PoolBlockSizeMB = blockMB;
}

TEST_F(AVICaptureTest, RefusalsCreateNoFile) {
  StartStream(2);
  const DWORD frameReads = QDV_IOCTL_GET_FRAME;
  AppCommand->SaveVideo();
  StartStream(1);
  AppCommand->Captures.CaptureRunning = true;  // another capture runs
  AppCommand->SaveVideo();
  AppCommand->Captures.CaptureRunning = false;
  settings.path = Path("missing/");
  Sim->ResetRequestCounts();
  AppCommand->SaveVideo();
  EXPECT_EQ(Sim->RequestCount(frameReads), 0u);
  Sim->FailRequests(QDV_IOCTL_VIEWPORT, 1);
  AppCommand->SaveVideo();
  Sim->SetAbsent(true);
  AppCommand->SaveVideo();
  Sim->SetAbsent(false);
  EXPECT_EQ(messages, (std::vector<Message>{
                          {"ERROR!", "Cannot save no 8bpp video"},
                          {"ERROR!", "Cannot create AVI file " + Path("missing/VIDEO_0.AVI")},
                          {"ERROR!", "Cannot get viewport setting."},
                          {"ERROR!", "Camera open fail."}}));
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
  EXPECT_FALSE(AppCommand->Captures.CaptureRunning);
}

// A capture holds the camera from its first message to its last: commands
// run while a message waits (the box's own event loop), and a capture they
// start would share the frame buffer and the live-video pause with it.
TEST_F(AVICaptureTest, NoCaptureStartsWhileAnotherShowsAMessage) {
  StartStream();
  AppCommand->Captures.Frames2Capture = 1;
  const struct {
    const char* name;
    void (TAppCommand::*capture)();
  } cases[] = {{"AVI", &TAppCommand::SaveVideo}, {"RAW", &TAppCommand::SaveRAWVideo}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    messages.clear();
    const ScopedMessageSink startOthers(
        [&](MessageKind, const QString& caption, const QString& text) {
          messages.push_back({caption, text});
          Sim->SetAbsent(false);
          AppCommand->SaveVideo();
          AppCommand->SaveRAWVideo();
          EXPECT_FALSE(AppCommand->Captures.CaptureRunning);
        });
    Sim->SetAbsent(true);
    (AppCommand->*c.capture)();
    Sim->SetAbsent(false);
    EXPECT_EQ(messages, (std::vector<Message>{{"ERROR!", "Camera open fail."}}));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
  }
  // Once the first has ended, a capture starts again.
  AppCommand->SaveVideo();
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"VIDEO_0.AVI"});
}

TEST_F(AVICaptureTest, EndsBeforeAFrameWouldPassTheSizeLimitAndOnStop) {
  if (!HaveTools()) GTEST_SKIP() << "ImageMagick or ffmpeg not installed";
  StartStream();
  AppCommand->SetDebayerMode(1);
  // Header 224 bytes; each frame 8 + 74,880 bytes and 16 of index; the index
  // header 8: room for two frames.
  const std::uint64_t previous = AVISizeLimit();
  SetAVISizeLimit(224 + 2 * (8 + 74880 + 16) + 8);
  AppCommand->Captures.Frames2Capture = 5;
  {
    // While the message waits, the file is complete: a strict reader takes
    // both frames with their index.
    StrictAVI whileTold;
    const ScopedMessageSink readAtMessage(
        [&](MessageKind, const QString& caption, const QString& text) {
          messages.push_back({caption, text});
          whileTold = ReadStrictAVI(Path("VIDEO_0.AVI").toStdString());
        });
    AppCommand->SaveVideo();
    EXPECT_TRUE(whileTold.Ok()) << whileTold.error;
    EXPECT_EQ(whileTold.frames, 2u);
    EXPECT_TRUE(whileTold.indexed);
    EXPECT_EQ(whileTold.trailingBytes, 0u);
  }
  SetAVISizeLimit(previous);
  EXPECT_EQ(Probe(Path("VIDEO_0.AVI")), "rawvideo,208,120,2997/100,2\n");
  EXPECT_EQ(messages,
            (std::vector<Message>{{"ERROR!", "AVI file size limit reached, capture stopped: " +
                                                 Path("VIDEO_0.AVI")}}));
  // Unlimited frames: Stop Video (or Esc) ends the capture.
  AppCommand->Captures.Frames2Capture = 0;
  int reads = 0;
  QTimer stopper;
  QObject::connect(&stopper, &QTimer::timeout, [&] {
    if (++reads == 3) AppCommand->StopVideo();
  });
  stopper.start(0);
  AppCommand->SaveVideo();
  EXPECT_FALSE(AppCommand->Captures.CaptureRunning);
  EXPECT_EQ(Probe(Path("VIDEO_1.AVI")).substr(0, 25), "rawvideo,208,120,2997/100");
}

}  // namespace
