// The camera object: the application's one gateway to the camera for every
// operation except the capture loops and the trigger-input poll.
//
// Each method opens the driver device (camera index 0), makes the driver
// call or the few calls of its operation, closes the device again and hands
// its error text to its status report (the controller's status display):
// empty on success, otherwise the text of the last failing step. A failed
// operation gives the caller a fixed default and never throws or shows a
// message.
#ifndef APP_CAMERA_H
#define APP_CAMERA_H

#include <QString>

#include <cstdint>
#include <functional>

#include "QDV47B5API.h"
#include "common/RAWVideo.h"

// Receives the error text of each camera operation, empty on success.
using CameraStatusReport = std::function<void(const QString& errorText)>;

class TCamera {
 public:
  // Without a report of its own the camera takes the program's default one.
  explicit TCamera(CameraStatusReport report = {});

  // The report every camera created afterwards without one is given; the
  // controller sets it once, when the program starts.
  static void SetDefaultStatusReport(CameraStatusReport report);
  void SetStatusReport(CameraStatusReport report);
  void ReportStatus(const QString& errorText) const;

  void SetSensorReg(std::uint16_t& word);
  void SetFrequency(std::uint32_t code);
  std::uint32_t GetFrequency();
  void SetMedianFilterType(std::uint32_t type);
  void UpdateViewPort(ViewPortRecord& viewPort);
  void GetViewPort(ViewPortRecord& viewPort);
  void SetFrameWaitTimeout(std::uint32_t ms);
  std::uint32_t GetFrameWaitTimeout();
  void GetFrame(void* buffer, std::uint32_t size, std::uint32_t& bytes);
  void GetStatistics(StatisticsRecord& statistics);
  void ResetStatistics();
  void SetStreamStatus(std::uint32_t status);
  std::uint32_t GetStreamStatus();
  void SetDefaultLookupTable();
  void SetMonoLookupTable(std::int32_t brightness, std::int32_t contrast, std::int32_t gamma);
  void SetColorLookupTable(std::int32_t redBrightness, std::int32_t redContrast,
                           std::int32_t redGamma, std::int32_t greenBrightness,
                           std::int32_t greenContrast, std::int32_t greenGamma,
                           std::int32_t blueBrightness, std::int32_t blueContrast,
                           std::int32_t blueGamma);
  void SetPredefinedLookupTable(std::int32_t stepLength);
  // `table`: a colour lookup table, red, green and blue, 4096 entries each.
  void WriteColorLookupTable(std::uint16_t* table);
  // True when the whole table was read; on failure the table is unchanged.
  bool GetColorLookupTable(std::uint16_t* table);
  void GetExposureMinMax(std::uint32_t& minimum, std::uint32_t& maximum);
  void SetExposure(std::uint32_t rows);
  void GetExposure(std::uint32_t& rows);
  void GetExposureMs(double& ms);
  double GetGain();
  void SetGain(std::int32_t units);
  void SetGammaCorrection(bool on);
  void SetTriggerControl(std::uint32_t flags);
  std::uint32_t GetTriggerControl();
  void SetFrameRate(double fps);
  void GetFrameRate(double& fps);
  void SetSDRAMStatus(std::uint32_t status);
  std::uint32_t GetSDRAMStatus();
  // Fills a RAWVideoHeaderSize-byte RAW video file header from the camera.
  void FillRAWHeader(void* header);
  void SetBlackLevelStatus(bool automatic);
  std::uint8_t GetBlackLevelValue();
  void SetBlackLevelValue(std::uint8_t value);
  void ResetSensor();
  void SetInterPacketGapDelay(std::uint32_t delay);
  std::uint32_t GetInterPacketGapDelay();
  void SetColorEnhancement(std::uint32_t level);
  std::uint32_t GetColorEnhancement();
  void SetWhiteBalanceFlags(std::uint32_t flags);

  // The camera's serial number, "?.?.?.?.?" when it cannot be read. Reports
  // nothing: the controller's status display calls it itself.
  void GetSerialNumber(QString& text);

  std::int32_t CameraIndex() const { return cameraIndex_; }

 private:
  std::int32_t cameraIndex_;
  CameraStatusReport report_;
};

#endif
