#include "APP/camera/Camera.h"

#include <array>
#include <cstring>
#include <utility>

#include "common/Format.h"
#include "platform/handle.h"

namespace {

// The frame of every operation: open the device, run the driver calls, close
// the device, report. `calls` gets the open handle and the error text, which
// each failing call overwrites.
template <class Calls>
void Operation(const TCamera& camera, Calls calls) {
  QString error;
  const platform::UniqueHandle handle(OpenCamera(camera.CameraIndex()));
  if (!handle)
    error = QStringLiteral("Camera open error!");
  else
    calls(handle.get(), error);
  camera.ReportStatus(error);
}

// Table maximum of the lookup tables that the camera applies: that of the
// stream format's lookup depth (1023 while it delivers 10-bit frames, else
// 255). A failed read counts as stream status 0, which has the 8-bit one.
std::uint16_t LookupTableMaximum(HANDLE handle) {
  std::uint32_t status = 0;
  ::GetStreamStatus(handle, &status);
  const StreamFormatInfo* format = FindStreamFormat(status);
  const int bits = format != nullptr ? format->lookupBits : 8;
  return static_cast<std::uint16_t>((1u << bits) - 1);
}

// One u32 setting written with its driver call.
void WriteSetting(const TCamera& camera, BOOL (*set)(DeviceHandle, DWORD), DWORD value,
                  const QString& failure) {
  Operation(camera, [&](HANDLE h, QString& error) {
    if (!set(h, value)) error = failure;
  });
}

// One u32 setting read with its driver call; `fallback` when it cannot be
// read.
DWORD ReadSetting(const TCamera& camera, BOOL (*get)(DeviceHandle, DWORD*), DWORD fallback,
                  const QString& failure) {
  DWORD value = fallback;
  Operation(camera, [&](HANDLE h, QString& error) {
    if (!get(h, &value)) {
      value = fallback;
      error = failure;
    }
  });
  return value;
}

template <class T>
void Put(std::uint8_t* header, std::uint32_t offset, const T& value) {
  std::memcpy(header + offset, &value, sizeof value);
}

}  // namespace

namespace {
// What cameras created without a report of their own are given.
CameraStatusReport& DefaultReport() {
  static CameraStatusReport report;
  return report;
}
}  // namespace

TCamera::TCamera(CameraStatusReport report)
    : cameraIndex_(0), report_(report ? std::move(report) : DefaultReport()) {}

void TCamera::SetDefaultStatusReport(CameraStatusReport report) {
  DefaultReport() = std::move(report);
}

void TCamera::SetStatusReport(CameraStatusReport report) { report_ = std::move(report); }

void TCamera::ReportStatus(const QString& errorText) const {
  if (report_) report_(errorText);
}

void TCamera::SetSensorReg(std::uint16_t& word) {
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::SetSensorReg(h, &word)) error = QStringLiteral("SetSensorReg FAIL!");
  });
}

void TCamera::SetFrequency(std::uint32_t code) {
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::SetFrequency(h, code)) error = QStringLiteral("Frequency set error!");
    // Sensor register 0x75 follows the clock, also when the clock request
    // failed.
    std::uint16_t word = code == 5 ? 0x7569 : 0x7509;
    if (!::SetSensorReg(h, &word)) error = QStringLiteral("SetSensorReg FAIL!");
  });
}

std::uint32_t TCamera::GetFrequency() {
  return ReadSetting(*this, ::GetFrequency, 0, QStringLiteral("Frequency get error!"));
}

void TCamera::SetMedianFilterType(std::uint32_t type) {
  WriteSetting(*this, ::SetMedianFilterType, type, QStringLiteral("SetMedianFilterType FAIL!"));
}

void TCamera::UpdateViewPort(ViewPortRecord& viewPort) {
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::UpdateViewPort(h, &viewPort)) error = QStringLiteral("UpdateViewPort FAIL!");
  });
}

void TCamera::GetViewPort(ViewPortRecord& viewPort) {
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::GetViewPort(h, &viewPort)) error = QStringLiteral("GetViewPort FAIL!");
  });
}

void TCamera::SetFrameWaitTimeout(std::uint32_t ms) {
  WriteSetting(*this, ::SetFrameWaitTimeout, ms, QStringLiteral("SetFrameWaitTimeout FAIL!"));
}

std::uint32_t TCamera::GetFrameWaitTimeout() {
  return ReadSetting(*this, ::GetFrameWaitTimeout, 5000,
                     QStringLiteral("GetFrameWaitTimeout get error!"));
}

void TCamera::GetFrame(void* buffer, std::uint32_t size, std::uint32_t& bytes) {
  bytes = 0;
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::GetFrame(h, buffer, size, &bytes)) {
      bytes = 0;
      error = QStringLiteral("GetFrame FAIL!");
    }
  });
}

void TCamera::GetStatistics(StatisticsRecord& statistics) {
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::GetStatistics(h, &statistics)) error = QStringLiteral("GetStatistics FAIL!");
  });
}

void TCamera::ResetStatistics() {
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::ResetStatistics(h)) error = QStringLiteral("ResetStatistics FAIL!");
  });
}

void TCamera::SetStreamStatus(std::uint32_t status) {
  WriteSetting(*this, ::SetStreamStatus, status, QStringLiteral("SetStreamStatus FAIL!"));
}

std::uint32_t TCamera::GetStreamStatus() {
  return ReadSetting(*this, ::GetStreamStatus, 0, QStringLiteral("GetStreamStatus FAIL!"));
}

void TCamera::SetDefaultLookupTable() {
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::SetDefaultLookupTable(h)) error = QStringLiteral("SetDefaultLookupTable FAIL!");
  });
}

void TCamera::SetMonoLookupTable(std::int32_t brightness, std::int32_t contrast,
                                 std::int32_t gamma) {
  Operation(*this, [&](HANDLE h, QString& error) {
    std::array<std::uint16_t, 4096> table{};
    ::BuildLookupTable(brightness, contrast, gamma, table.data(), LookupTableMaximum(h));
    if (!::SetMonoLookupTable(h, table.data())) error = QStringLiteral("SetMonoLookupTable FAIL!");
  });
}

void TCamera::SetColorLookupTable(std::int32_t redBrightness, std::int32_t redContrast,
                                  std::int32_t redGamma, std::int32_t greenBrightness,
                                  std::int32_t greenContrast, std::int32_t greenGamma,
                                  std::int32_t blueBrightness, std::int32_t blueContrast,
                                  std::int32_t blueGamma) {
  Operation(*this, [&](HANDLE h, QString& error) {
    std::array<std::uint16_t, 3 * 4096> table{};
    const std::uint16_t maximum = LookupTableMaximum(h);
    ::BuildLookupTable(redBrightness, redContrast, redGamma, table.data(), maximum);
    ::BuildLookupTable(greenBrightness, greenContrast, greenGamma, table.data() + 4096, maximum);
    ::BuildLookupTable(blueBrightness, blueContrast, blueGamma, table.data() + 8192, maximum);
    if (!::SetColorLookupTable(h, table.data())) {
      error = QStringLiteral("SetColorLookupTable FAIL!");
    }
  });
}

void TCamera::SetPredefinedLookupTable(std::int32_t stepLength) {
  Operation(*this, [&](HANDLE h, QString& error) {
    std::array<std::uint16_t, 4096> table{};
    ::BuildPredefinedLookupTable(table.data(), LookupTableMaximum(h), stepLength);
    if (!::SetMonoLookupTable(h, table.data())) error = QStringLiteral("SetMonoLookupTable FAIL!");
  });
}

void TCamera::WriteColorLookupTable(std::uint16_t* table) {
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::SetColorLookupTable(h, table)) error = QStringLiteral("SetColorLookupTable FAIL!");
  });
}

bool TCamera::GetColorLookupTable(std::uint16_t* table) {
  bool read = false;
  Operation(*this, [&](HANDLE h, QString& error) {
    read = ::GetColorLookupTable(h, table) != 0;
    if (!read) error = QStringLiteral("GetColorLookupTable FAIL!");
  });
  return read;
}

void TCamera::GetExposureMinMax(std::uint32_t& minimum, std::uint32_t& maximum) {
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::GetExposureMinMax(h, &minimum, &maximum)) {
      error = QStringLiteral("GetExposureMinMax FAIL!");
    }
  });
}

void TCamera::SetExposure(std::uint32_t rows) {
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::SetExposure(h, rows)) error = QStringLiteral("SetExposure FAIL!");
  });
}

void TCamera::GetExposure(std::uint32_t& rows) {
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::GetExposure(h, &rows)) error = QStringLiteral("GetExposure FAIL!");
  });
}

void TCamera::GetExposureMs(double& ms) {
  ms = 0.0;
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::GetExposureMs(h, &ms)) error = QStringLiteral("GetExposureMs FAIL!");
  });
}

double TCamera::GetGain() {
  double gain = 0.0;
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::GetGain(h, &gain)) {
      gain = 0.0;
      error = QStringLiteral("GetGain FAIL!");
    }
  });
  return gain;
}

void TCamera::SetGain(std::int32_t units) {
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::SetGain(h, units)) error = QStringLiteral("SetGain FAIL!");
  });
}

void TCamera::SetGammaCorrection(bool on) {
  Operation(*this, [&](HANDLE h, QString& error) {
    std::uint16_t word = 0x7000;
    if (!::GetSensorReg(h, &word)) {
      error = QStringLiteral("GetSensorReg FAIL!");
      return;
    }
    word = on ? static_cast<std::uint16_t>(word | 0x80) : static_cast<std::uint16_t>(word & ~0x80);
    if (!::SetSensorReg(h, &word)) error = QStringLiteral("SetSensorReg FAIL!");
  });
}

void TCamera::SetTriggerControl(std::uint32_t flags) {
  WriteSetting(*this, ::SetTriggerControl, flags, QStringLiteral("SetTriggerControl FAIL!"));
}

std::uint32_t TCamera::GetTriggerControl() {
  return ReadSetting(*this, ::GetTriggerControl, 0, QStringLiteral("GetTriggerControl FAIL!"));
}

void TCamera::SetFrameRate(double fps) {
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::SetFrameRate(h, fps)) error = QStringLiteral("SetFrameRate FAIL!");
  });
}

void TCamera::GetFrameRate(double& fps) {
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::GetFrameRate(h, &fps)) error = QStringLiteral("GetFrameRate FAIL!");
  });
}

void TCamera::SetSDRAMStatus(std::uint32_t status) {
  WriteSetting(*this, ::SetSDRAMStatus, status, QStringLiteral("SetSDRAMStatus FAIL!"));
}

std::uint32_t TCamera::GetSDRAMStatus() {
  return ReadSetting(*this, ::GetSDRAMStatus, 0, QStringLiteral("GetSDRAMStatus FAIL!"));
}

static_assert(sizeof(CameraInfoRecord) == sizeof(RAWVideoHeader::DeviceID),
              "the header keeps the identity record as delivered");

void TCamera::FillRAWHeader(void* headerBuffer) {
  auto* header = static_cast<std::uint8_t*>(headerBuffer);
  std::memset(header, 0, RAWVideoHeaderSize);
  Operation(*this, [&](HANDLE h, QString& error) {
    std::memcpy(header + RAWHeader::Signature, RAWVideoSignature, sizeof RAWVideoSignature);
    std::memcpy(header + RAWHeader::BayerMatrix, RAWVideoBayerMatrix, sizeof RAWVideoBayerMatrix);

    // Every read goes into a zeroed local first, so a failed read leaves its
    // field zero.
    CameraInfoRecord info;
    std::memset(&info, 0, sizeof info);
    if (::GetCameraInfo(h, &info)) {
      std::memcpy(header + RAWHeader::DeviceID, &info, sizeof info);
    } else {
      error = QStringLiteral("Can't get camera info!");
    }

    ViewPortRecord viewPort;
    std::memset(&viewPort, 0, sizeof viewPort);
    if (!::GetViewPort(h, &viewPort)) error = QStringLiteral("GetViewPort FAIL!");
    Put(header, RAWHeader::Width, static_cast<std::int32_t>(viewPort.Width));
    Put(header, RAWHeader::Height, static_cast<std::int32_t>(viewPort.Height));

    std::uint32_t stream = 0;
    if (!::GetStreamStatus(h, &stream)) error = QStringLiteral("GetStreamStatus FAIL!");
    Put(header, RAWHeader::StreamStatus, stream);

    std::uint32_t median = 0;
    if (!::GetMedianFilterType(h, &median)) {
      median = 0;
      error = QStringLiteral("GetMedianFilterType FAIL!");
    }
    // Only the filter type's two bits: a larger value from the driver must
    // not set the shutter or gamma bits.
    std::uint32_t flags = median & RAWHeaderFlags::MedianFilterMask;
    std::uint32_t sdram = 0;
    if (!::GetSDRAMStatus(h, &sdram)) {
      sdram = 0;
      error = QStringLiteral("GetSDRAMStatus FAIL!");
    }
    if (sdram != 0) flags |= RAWHeaderFlags::SDRAM;
    std::uint16_t gammaWord = 0x7000;
    if (!::GetSensorReg(h, &gammaWord)) {
      error = QStringLiteral("GetSensorReg FAIL!");
    } else if ((gammaWord & 0x80) != 0) {
      flags |= RAWHeaderFlags::Gamma;
    }
    Put(header, RAWHeader::HeaderFlags, flags);

    double mhz = 0.0;
    if (!::GetFrequencyMhz(h, &mhz)) error = QStringLiteral("GetFrequencyMhz get error!");
    Put(header, RAWHeader::Frequency, mhz * 1000000);

    double exposure = 0.0;
    if (!::GetExposureMs(h, &exposure)) error = QStringLiteral("GetExposureMs FAIL!");
    Put(header, RAWHeader::Exposure, exposure);

    double frameRate = 0.0;
    if (!::GetFrameRate(h, &frameRate)) error = QStringLiteral("GetFrameRate FAIL!");
    Put(header, RAWHeader::FrameRate, frameRate);

    double gain = 0.0;
    if (!::GetGain(h, &gain)) error = QStringLiteral("GetGain FAIL!");
    Put(header, RAWHeader::Gain, gain);

    std::array<std::uint16_t, 3 * 4096> table{};
    if (::GetColorLookupTable(h, table.data())) {
      std::memcpy(header + RAWHeader::ColorLookupTable, table.data(),
                  RAWHeader::ColorLookupTableSize);
    } else {
      error = QStringLiteral("GetColorLookupTable FAIL!");
    }
  });
}

void TCamera::SetBlackLevelStatus(bool automatic) {
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::SetBlackLevelStatus(h, automatic ? 0 : 1)) {
      error = QStringLiteral("SetBlackLevelStatus FAIL!");
    }
  });
}

std::uint8_t TCamera::GetBlackLevelValue() {
  std::uint8_t value = 0;
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::GetBlackLevelValue(h, &value)) {
      value = 0;
      error = QStringLiteral("GetBlackLevelValue FAIL!");
    }
  });
  return value;
}

void TCamera::SetBlackLevelValue(std::uint8_t value) {
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::SetBlackLevelValue(h, value)) error = QStringLiteral("SetBlackLevelValue FAIL!");
  });
}

void TCamera::ResetSensor() {
  Operation(*this, [&](HANDLE h, QString& error) {
    if (!::ResetSensor(h)) error = QStringLiteral("ResetSensor FAIL!");
  });
}

void TCamera::SetInterPacketGapDelay(std::uint32_t delay) {
  WriteSetting(*this, ::SetInterPacketGapDelay, delay,
               QStringLiteral("SetInterPacketGapDelay FAIL!"));
}

std::uint32_t TCamera::GetInterPacketGapDelay() {
  return ReadSetting(*this, ::GetInterPacketGapDelay, 0,
                     QStringLiteral("GetInterPacketGapDelay FAIL!"));
}

void TCamera::SetColorEnhancement(std::uint32_t level) {
  WriteSetting(*this, ::SetColorEnhancement, level, QStringLiteral("SetColorEnhancement FAIL!"));
}

std::uint32_t TCamera::GetColorEnhancement() {
  return ReadSetting(*this, ::GetColorEnhancement, 64, QStringLiteral("GetColorEnhancement FAIL!"));
}

void TCamera::SetWhiteBalanceFlags(std::uint32_t flags) {
  WriteSetting(*this, ::SetWhiteBalanceFlags, flags, QStringLiteral("SetWhiteBalanceFlags FAIL!"));
}

void TCamera::GetSerialNumber(QString& text) {
  text = QStringLiteral("?.?.?.?.?");
  const platform::UniqueHandle h(OpenCamera(cameraIndex_));
  if (!h) return;
  CameraInfoRecord info;
  std::memset(&info, 0, sizeof info);
  if (::GetCameraInfo(h.get(), &info)) {
    text = FormatText("%d.%d.%d.%d.%d", static_cast<std::int32_t>(info.Id4), info.Id0, info.Id2,
                      info.Id8, info.Id10);
  }
}
