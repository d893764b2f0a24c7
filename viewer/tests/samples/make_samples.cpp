// Writes the viewer tests' RAW video samples into the folder given as the
// only argument: for each entry of SampleFiles, the simulated camera in
// deterministic mode streams the format at the size and the camera
// application's RAW capture records that many frames. Beside each file it
// stores the camera's frame SampleFrame and, for the small files, the camera
// application's rendered picture of it in every mode, with and without the
// sample colour correction.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>

#include <cstdio>
#include <vector>

#include "APP/control/Commands.h"
#include "APP/forms/fmMain.h"
#include "APP/tests/AppTestSupport.h"
#include "APP/tests/test_render_setup.h"
#include "QDV47B5API.h"
#include "common/Messages.h"
#include "common/VideoPanel.h"
#include "simcam/SimCamera.h"
#include "viewer/tests/samples/SampleFiles.h"

namespace {

bool Fail(const char* what, const QString& name) {
  std::fprintf(stderr, "viewer_make_samples: %s %s\n", what, qPrintable(name));
  return false;
}

void SetUpCamera(simcam::SimCamera& sim, const TSampleFile& s) {
  sim.PowerOn();
  sim.SetTiming(simcam::Timing::Deterministic);
  CameraDevice->SetStreamStatus(static_cast<std::uint32_t>(s.streamStatus));
  CameraDevice->SetDefaultLookupTable();
  ViewPortRecord region{};
  region.SizeX = region.Width = static_cast<std::uint32_t>(s.width);
  region.SizeY = region.Height = static_cast<std::uint32_t>(s.height);
  CameraDevice->UpdateViewPort(region);
  sim.SetFrameNumber(FirstFrameNumber);
}

// The capture folder that RAW capture writes into.
class CaptureSettingsView : public FakeSettingsView {
 public:
  QString CapturePath() const override { return path; }
  QString path;
};

// One capture of s.frames frames into the sample folder, renamed to the
// sample's name. Any message of the capture is a failure.
bool Record(const TSampleFile& s, const QDir& dir, CaptureSettingsView& settings) {
  bool quiet = true;
  const ScopedMessageSink sink([&](MessageKind, const QString& caption, const QString& text) {
    std::fprintf(stderr, "viewer_make_samples: %s: %s\n", qPrintable(caption), qPrintable(text));
    quiet = false;
  });
  settings.path = dir.path() + QStringLiteral("/");
  AppCommand->SettingsView = &settings;
  AppCommand->Captures.Frames2Capture = s.frames;
  // Room for every frame: nothing is dropped.
  AppCommand->Captures.PoolBlockCount = 4;
  AppCommand->Captures.PoolBlockSizeMB = 16;
  AppCommand->SaveRAWVideo();
  AppCommand->SettingsView = nullptr;
  const QString written =
      settings.path + QStringLiteral("VIDEO_%1.RAW").arg(AppCommand->Captures.RAWCounter);
  const QString target = dir.filePath(SampleName(s));
  QFile::remove(target);
  if (!quiet || !QFile::rename(written, target)) return Fail("no capture for", target);
  return true;
}

bool SaveAppPictures(const TSampleFile& s, const QDir& dir,
                     const std::vector<std::uint8_t>& frame) {
  ColorCorrection* cc = AppCommand->Render.ColorCorrectionObject.get();
  SetColorCorrectionMatrix(cc, SampleCorrectionMatrix);
  SetColorCorrectionMode(cc, CorrectionMatrix);
  for (bool corrected : {false, true}) {
    AppCommand->Render.ActiveCorrection = corrected ? cc : nullptr;
    for (int mode = 0; mode <= 7; ++mode) {
      AppCommand->SetDebayerMode(mode);
      if (!AppCommand->RenderFrame(static_cast<std::uint32_t>(s.streamStatus), frame.data(),
                                   static_cast<std::uint32_t>(frame.size()), s.width, s.height,
                                   mode))
        return Fail("the camera application refused", SampleName(s));
      const QString name = dir.filePath(AppPictureName(s, mode, corrected));
      if (!MainForm->VideoPanel->Picture().save(name)) return Fail("cannot write", name);
    }
  }
  AppCommand->Render.ActiveCorrection = nullptr;
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: viewer_make_samples FOLDER\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  QDir().mkpath(dir.path());
  simcam::SimCamera& sim = StartLiveVideoApplication();
  MainForm->SetVideoPanelFill(false);
  CaptureSettingsView settings;
  bool ok = true;
  for (const TSampleFile& s : SampleFiles) {
    SetUpCamera(sim, s);
    ok = ok && Record(s, dir, settings);
    // The camera's own rendering of that frame, past the driver API: the
    // tests' independent source of the frame's bytes.
    std::vector<std::uint8_t> camera(FrameBufferSize);
    DWORD bytes = 0;
    ok = ok && sim.RenderFrame(FirstFrameNumber + SampleFrame - 1, camera.data(),
                               static_cast<DWORD>(camera.size()), bytes) == 0;
    camera.resize(bytes);
    QFile cameraFile(dir.filePath(CameraFrameName(s)));
    ok = ok && cameraFile.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
         cameraFile.write(reinterpret_cast<const char*>(camera.data()), qint64(camera.size())) ==
             qint64(camera.size());
    if (ok && HasAppPictures(s)) ok = SaveAppPictures(s, dir, camera);
    CameraDevice->SetStreamStatus(0);
  }
  TThread::ShutDownAll();
  AppCommand->MainView = nullptr;
  delete MainForm;
  return ok ? 0 : 1;
}
