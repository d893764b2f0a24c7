// The controller of the camera application.
//
// One TAppCommand, `AppCommand`, created by the unit initialisation
// (CommandsUnitInit) before any form, holds the picture state, the request
// flags that the next rendered frame serves, the colour-correction object,
// the INI file of register sets, the capture counters and the frame-pool
// settings. It starts and stops live video, pauses and resumes the worker
// threads and writes the main window's status bar.
//
// The controller never includes a form header. It reaches the forms through
// the narrow interfaces below, which each form sets on AppCommand when it is
// created (and which tests replace with fakes):
//   IMainView        - TMainForm: status panels, the frame-rate and
//                      statistics timers, the video panel's fill mode, the
//                      picture it shows and its centring.
//                      TMainForm sets AppCommand->MainView before calling Init.
//   ISettingsView    - TSettingsForm: the few controls the controller sets or
//                      reads.
//   IHistogramView   - THistogramFormRGB, THistogramFormRAW.
//   IModalView       - TAboutForm.
// Every pointer may be null; the controller then skips that form.
//
// Everything here runs in the GUI thread; the worker threads only hand steps
// over to it (TThread::Synchronize).
#ifndef APP_COMMANDS_H
#define APP_COMMANDS_H

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

#include "APP/camera/Camera.h"
#include "APP/camera/IniFile.h"
#include "APP/control/CaptureSettings.h"
#include "APP/control/ProcessorLoad.h"
#include "APP/control/TriggerControl.h"
#include "APP/render/LiveRender.h"
#include "common/BitmapInfo.h"
#include "common/GuiSync.h"

// ---------------------------------------------------------------------------
// What the controller needs of the forms.

// Status-bar panels of the main window.
enum StatusPanel {
  PanelStatus = 0,      // "Status: OK" / "Status: FAIL", capture counters
  PanelSerial = 1,      // "SerialNo: ..."
  PanelFPS = 2,         // "%.2f fps" / "Stopped" / "ESC - STOP"
  PanelZoom = 3,        // "Zoom: ...%"
  PanelCPULoad = 4,     // "CPU load: ...%"
  PanelSpeed = 5,       // "Speed: %.2f MB/s"
  PanelPacketLost = 6,  // "Packet lost: %.2f%%"
  StatusPanelCount = 7
};

class IMainView {
 public:
  virtual ~IMainView() = default;
  virtual void SetPanel(int index, const QString& text) = 0;
  virtual QString Panel(int index) const = 0;
  // Repaints the status bar at once (a capture loop's final counters).
  virtual void RepaintStatusBar() = 0;
  // The frame-rate timer (10,000 ms), on only while live video runs.
  virtual void SetFPSTimerEnabled(bool enabled) = 0;
  // The statistics timer: its interval in milliseconds, and on or off.
  virtual void SetStatisticsTimer(int intervalMs, bool enabled) = 0;
  // true: the video panel fills its scroll box (video stopped); false: the
  // render pipeline sizes it to the picture.
  virtual void SetVideoPanelFill(bool fill) = 0;
  // A rendered picture (width x height pixels of `bits` bits, copied) drawn
  // at drawnWidth x drawnHeight; a change of the drawn size also centres the
  // panel.
  virtual void ShowPicture(const std::uint8_t* picture, int width, int height, int bits,
                           int drawnWidth, int drawnHeight) = 0;
  // The video panel centred in its scroll box where it is smaller, at the
  // scroll position where it is larger.
  virtual void CenterVideoPanel() = 0;
};

class ISettingsView {
 public:
  virtual ~ISettingsView() = default;
  // Shows the dialog without blocking and brings it to the front.
  virtual void ShowNonModal() = 0;
  virtual bool IsShown() const = 0;
  // The whole dialog enabled or disabled (capture loops).
  virtual void SetDialogEnabled(bool enabled) = 0;
  // Selection of the demosaicing radio group (rgDebayer).
  virtual void SetDebayerSelection(int mode) = 0;
  // Image-format radio group (rgSaveImageMode): 0 BMP, 1 JPEG.
  virtual int SaveImageMode() const = 0;
  // The capture folder text (edPath).
  virtual QString CapturePath() const = 0;
  // One of the statistics read-outs, by its control name ("ePacketCount",
  // "ePacketLost", ..., "eSpeedMbits").
  virtual void SetStatisticsText(const QString& editName, const QString& text) = 0;
  // The two external-input status boxes of the trigger tab.
  virtual void SetExternalInputStatus(bool input1, bool input2) = 0;
  // Refreshes the exposure and region read-outs after the region changed
  // (the region-of-interest dialog).
  virtual void UpdateExposure() {}
};

class IHistogramView {
 public:
  virtual ~IHistogramView() = default;
  // Makes the window visible and brings it to the front.
  virtual void ShowWindow() = 0;
  virtual void HideWindow() = 0;
  // One rendered frame: RAW window - the decoded samples (8-bit, or
  // unpacked 16-bit for 10 and 12 bits), bits 8, 10 or 12; RGB window - the
  // displayed picture, bits 24 (B, G, R) or 8 (grey samples).
  virtual void UpdateHistogram(const void* data, int width, int height, int bits) = 0;
};

class IModalView {
 public:
  virtual ~IModalView() = default;
  virtual int ShowModal() = 0;
};

// ---------------------------------------------------------------------------
// Worker threads.

// Paces live video: hands one GrabFrame after another to the GUI thread.
class TFrameThread : public TThread {
 public:
  explicit TFrameThread(bool createSuspended) : TThread(createSuspended) {}

 protected:
  void Execute() override;

 private:
  void FrameThreadSync();
};

// Name of the event that the camera's driver signals when an external input
// changes. The application only opens it, never creates it.
inline constexpr char TriggerEventName[] = "QDV47B5TriggerEvent";

// Watches the external inputs: waits for the trigger event in this thread
// and hands one PollExternalInputs to the GUI thread each time it is
// signalled. While the event does not exist it tries again after a pause.
class TTriggerThread : public TThread {
 public:
  // Longest single wait for the event, and the pause between tries while
  // the event does not exist.
  static constexpr DWORD WaitMs = 2000;
  static constexpr DWORD RetryMs = 500;

  explicit TTriggerThread(bool createSuspended, const char* eventName = TriggerEventName)
      : TThread(createSuspended), eventName_(eventName) {}

 protected:
  void Execute() override;

 private:
  enum class TWaitResult { Signalled, TimedOut, NoEvent };
  TWaitResult WaitForTriggerEvent();
  // Sleeps up to `ms`, returning early when the thread is asked to end.
  void Pause(DWORD ms);

  const char* eventName_;
};

// ---------------------------------------------------------------------------

class TAppCommand {
 public:
  TAppCommand();
  TAppCommand(const TAppCommand&) = delete;
  TAppCommand& operator=(const TAppCommand&) = delete;

  // Lifecycle and live video.
  void Init();
  void Done();
  void StartVideo();
  void StopVideo();
  void SuspendThreads();
  void ResumeThreads();

  // Status bar.
  void ShowStatus(const QString& errorText);
  void ShowFPS(double seconds);
  void ShowCPULoad();
  void ShowStatistics(double seconds);
  void SetStatisticsInterval(std::int32_t seconds);
  void ResetStatistics();

  // Capture files: prefix + counter + extension for the first counter value,
  // from the current one upward, whose file does not exist; the counter is
  // left at that value.
  QString NextCaptureFileName(const QString& prefix, const QString& extension,
                              std::int32_t& counter);

  // Forms and help.
  void ShowSettings();
  void ShowAbout();
  void ShowHelp();
  void ShowHistogramRGB(bool on);
  void ShowHistogramRAW(bool on);

  // Settings forwarded to the camera object.
  std::int32_t SetFrameWaitTimeout(std::int32_t& ms);
  void SetFrequency(std::uint32_t code);
  std::uint32_t GetFrequency();
  void SetBufferPool(std::int32_t blockCount, std::int32_t blockSizeMB);
  void SetSDRAM(bool on);
  bool GetSDRAM();
  void SetOutMode(std::int32_t index);
  std::int32_t GetOutMode() const;
  void SetFrameRate(double fps);
  double GetFrameRate();
  void GetExposureInfo(std::uint32_t& minimum, std::uint32_t& maximum, std::uint32_t& exposure,
                       double& ms);
  void SetExposure(std::uint32_t exposure);
  void SetFrames2Capture(std::int32_t frames);
  void SetMedianFilter(std::int32_t selection);
  void SetColorEnhancement(std::int32_t level, double& factor);
  std::int32_t GetColorEnhancement(double& factor);
  void SetInterPacketDelay(std::int32_t delay, double& rate);
  std::int32_t GetInterPacketDelay(double& rate);

  // Live picture: grab, render, demosaicing mode, zoom (LiveVideo.cpp).
  bool GrabFrame();
  bool RenderFrame(std::uint32_t code, const std::uint8_t* raw, std::uint32_t bytes,
                   std::int32_t width, std::int32_t height, std::int32_t mode);
  void SetDebayerMode(std::int32_t mode);
  void SetZoomPercent(std::int32_t percent);
  void ZoomIn();
  void ZoomOut();
  std::int32_t GetZoom() const;
  void SetZoom(std::int32_t code);
  void ShowZoom();
  void CenterVideoPanel();

  // Single frames, clipboard, colour-correction tool.
  void SaveFrame();
  void CopyFrame();
  void CalibrateColors();
  void SaveFrameFile(std::int32_t& counter, std::int32_t format, const std::uint8_t* picture,
                     std::int32_t width, std::int32_t height);
  bool CopyBitmapToClipboard(std::int32_t width, std::int32_t height, const std::uint8_t* picture,
                             const TBitmapInfo& bitmapInfo);
  void RunCorrectionTool(const std::uint8_t* picture, std::int32_t width, std::int32_t height);
  // matrix: twelve doubles, four rows (red, green, blue, constant) of three.
  void SetCorrectionMatrix(const double* matrix);

  // Captures.
  void SaveVideo();
  void SaveRAWVideo();

  // Trigger, register sets, white balance, correction selection.
  void SetTrigger(bool extSync, bool out1High, bool out2High, bool out1Enabled, bool out2Enabled);
  void SetTriggerMode(bool on);
  // The device read and the input boxes, run in the GUI thread after the
  // trigger thread saw its event signalled.
  void PollExternalInputs();
  void GetRegisterSets(QStringList& list);
  void LoadRegisterSet(const QString& name);
  void WhiteBalance();
  void AutoWhiteBalance(const void* raw, std::int32_t width, std::int32_t height,
                        std::int32_t bits);
  void WhiteBalanceAuto();
  void WhiteBalanceLock();
  void WhiteBalanceDisable();
  void SetImageCorrection(std::int32_t kind);
  void SetHSLCorrection(double hue, double saturation, double lightness);

  // --- State ---------------------------------------------------------------
  // The live picture: its buffers, display tables, demosaicing mode, zoom,
  // colour correction, the requests the next frame serves, the frame count.
  TLiveRender Render;
  bool Running = false;
  // Set by Done: the INI file and the colour-correction object are gone, and
  // the forms read nothing more from the camera.
  bool ShutDown = false;
  std::int32_t LastFrameCount = 0;
  // The stream format code the camera is set to when video starts.
  std::int32_t OutMode = static_cast<std::int32_t>(QDV_STREAM_RAW8);
  bool SerialRefreshPending = true;
  // The trigger lines, the triggered run and the external-input display.
  TTriggerControl Trigger;
  // The processor times of the previous load sample, and their source.
  TProcessorLoad ProcessorLoad;
  std::unique_ptr<TIniFile> IniFile;
  // The captures' frame limit, file counters and pool size, and whether one
  // runs.
  TCaptureSettings Captures;

  // --- Forms, set by each form when it is created ---------------------------
  IMainView* MainView = nullptr;
  ISettingsView* SettingsView = nullptr;
  IModalView* AboutView = nullptr;
  IHistogramView* HistogramRGBView = nullptr;
  IHistogramView* HistogramRAWView = nullptr;

 private:
  void SetPanel(int index, const QString& text);
  void ConnectRender();
};

// ---------------------------------------------------------------------------
// Program-wide objects; none is freed before the process ends.
extern TAppCommand* AppCommand;
extern TCamera* CameraDevice;
extern TFrameThread* FrameThread;
extern TTriggerThread* TriggerThread;

// Unit initialisation: the grey display palette, then AppCommand. Runs once,
// before any form is created.
void CommandsUnitInit();

#endif
