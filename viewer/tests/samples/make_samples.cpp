// Writes the viewer tests' RAW video samples into the folder given as the
// only argument: for each entry of SampleFiles, the simulated camera in
// deterministic mode streams the format at the size, the camera object fills
// the header and GetFrame delivers the records. Beside each file it stores
// the camera's frame SampleFrame and, for the small files, the camera
// application's rendered picture of it in every mode, with and without the
// sample colour correction.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>

#include <cstdio>
#include <vector>

#include "Commands.h"
#include "QDV47B5API.h"
#include "SampleFiles.h"
#include "VideoPanel.h"
#include "fmMain.h"
#include "simcam/SimCamera.h"
#include "test_render_setup.h"

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

// The header from the camera object, then the records from GetFrame; the
// frame SampleFrame is returned.
bool Record(const TSampleFile& s, const QString& path, std::vector<std::uint8_t>& sample) {
  std::vector<std::uint8_t> header(RAWVideoHeaderSize);
  CameraDevice->FillRAWHeader(header.data());
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return Fail("cannot write", path);
  file.write(reinterpret_cast<const char*>(header.data()), RAWVideoHeaderSize);
  const DeviceHandle handle = OpenCamera(0);
  std::vector<std::uint8_t> frame(std::size_t(s.height + 4) * s.width * 2);
  for (int k = 1; k <= s.frames; ++k) {
    DWORD bytes = 0;
    if (!GetFrame(handle, frame.data(), static_cast<DWORD>(frame.size()), &bytes)) {
      CloseCamera(handle);
      return Fail("GetFrame failed for", path);
    }
    const std::uint8_t count[4] = {std::uint8_t(bytes), std::uint8_t(bytes >> 8),
                                   std::uint8_t(bytes >> 16), std::uint8_t(bytes >> 24)};
    file.write(reinterpret_cast<const char*>(count), 4);
    file.write(reinterpret_cast<const char*>(frame.data()), bytes);
    if (k == SampleFrame) sample.assign(frame.begin(), frame.begin() + bytes);
  }
  CloseCamera(handle);
  return true;
}

bool SaveAppPictures(const TSampleFile& s, const QDir& dir, const std::vector<std::uint8_t>& frame) {
  ColorCorrection* cc = AppCommand->ColorCorrectionObject;
  SetColorCorrectionMatrix(cc, SampleCorrectionMatrix);
  SetColorCorrectionMode(cc, CorrectionMatrix);
  for (bool corrected : {false, true}) {
    AppCommand->ActiveCorrection = corrected ? cc : nullptr;
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
  AppCommand->ActiveCorrection = nullptr;
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
  bool ok = true;
  for (const TSampleFile& s : SampleFiles) {
    SetUpCamera(sim, s);
    std::vector<std::uint8_t> frame;
    ok = ok && Record(s, dir.filePath(SampleName(s)), frame);
    // The camera's own rendering of that frame, past the driver API: the
    // tests' independent source of the frame's bytes.
    std::vector<std::uint8_t> camera(frame.size() + 16);
    DWORD bytes = 0;
    ok = ok && sim.RenderFrame(FirstFrameNumber + SampleFrame - 1, camera.data(),
                               static_cast<DWORD>(camera.size()), bytes) == 0;
    camera.resize(bytes);
    QFile cameraFile(dir.filePath(CameraFrameName(s)));
    ok = ok && cameraFile.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
         cameraFile.write(reinterpret_cast<const char*>(camera.data()), qint64(camera.size())) ==
             qint64(camera.size());
    if (ok && HasAppPictures(s)) ok = SaveAppPictures(s, dir, frame);
    CameraDevice->SetStreamStatus(0);
  }
  TThread::ShutDownAll();
  AppCommand->MainView = nullptr;
  delete MainForm;
  return ok ? 0 : 1;
}
