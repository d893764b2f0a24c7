// QDV47B5API: the camera driver API.
//
// Plain functions with C linkage over the camera's kernel driver, which is
// reached through one device ("\\.\QDV47B5") and its I/O-control requests.
// The library holds no state: every function except OpenCamera takes the
// device handle first, returns nonzero on success and 0 on failure, and
// leaves the reason in the thread's last-error code:
//   87   (ERROR_INVALID_PARAMETER) the handle is INVALID_HANDLE_VALUE (nothing
//        is sent), a frame read or a table build got a null buffer, or
//        OpenCamera got an index outside 0..35;
//   1117 (ERROR_IO_DEVICE)  a request failed;
//   30   (ERROR_READ_FAULT) a frame read or the colour-table read failed;
//   29   (ERROR_WRITE_FAULT) a lookup-table write failed.
// A failed get leaves the caller's variable as it was.
//
// Records cross the driver boundary as packed little-endian layouts.
#ifndef QDV47B5API_H
#define QDV47B5API_H

#include <bit>
#include <cstddef>
#include <cstdint>

#include "imaging/streamformat.h"
#include "platform/win32.h"

static_assert(std::endian::native == std::endian::little,
              "the driver records are little-endian layouts");

// ---------------------------------------------------------------------------
// Device and control codes

typedef HANDLE DeviceHandle;

// The device path, terminating zero included (12 bytes), and the name under
// which a device implementation registers itself with the platform layer.
#define QDV_DEVICE_PATH "\\\\.\\QDV47B5"
#define QDV_DEVICE_NAME "QDV47B5"
static_assert(sizeof(QDV_DEVICE_PATH) == 12, "device path is 12 bytes with its zero");

// Transfer methods of a control code.
constexpr DWORD QDV_METHOD_BUFFERED = 0;
constexpr DWORD QDV_METHOD_OUT_DIRECT = 2;

// Control code of device type 0x12 (network), any access, for a function
// number and transfer method.
constexpr DWORD QdvControlCode(DWORD function, DWORD method) {
  return 0x12u * 65536u + function * 4u + method;
}

constexpr DWORD QDV_IOCTL_COMMAND = QdvControlCode(0x201, QDV_METHOD_BUFFERED);
constexpr DWORD QDV_IOCTL_SET_SENSOR_REG = QdvControlCode(0x213, QDV_METHOD_BUFFERED);
constexpr DWORD QDV_IOCTL_LOOKUP_TABLE = QdvControlCode(0x214, QDV_METHOD_BUFFERED);
constexpr DWORD QDV_IOCTL_FRAME_WAIT_TIMEOUT = QdvControlCode(0x215, QDV_METHOD_BUFFERED);
constexpr DWORD QDV_IOCTL_GET_FRAME = QdvControlCode(0x216, QDV_METHOD_OUT_DIRECT);
constexpr DWORD QDV_IOCTL_STREAM_STATUS = QdvControlCode(0x217, QDV_METHOD_BUFFERED);
constexpr DWORD QDV_IOCTL_VIEWPORT = QdvControlCode(0x218, QDV_METHOD_BUFFERED);
constexpr DWORD QDV_IOCTL_STATISTICS = QdvControlCode(0x219, QDV_METHOD_BUFFERED);
constexpr DWORD QDV_IOCTL_FREQUENCY = QdvControlCode(0x21A, QDV_METHOD_BUFFERED);
constexpr DWORD QDV_IOCTL_TRIGGER_CONTROL = QdvControlCode(0x21B, QDV_METHOD_BUFFERED);
constexpr DWORD QDV_IOCTL_EXTERNAL_INPUT = QdvControlCode(0x21C, QDV_METHOD_BUFFERED);
constexpr DWORD QDV_IOCTL_CAMERA_INFO = QdvControlCode(0x222, QDV_METHOD_BUFFERED);
constexpr DWORD QDV_IOCTL_GET_SENSOR_REG = QdvControlCode(0x223, QDV_METHOD_BUFFERED);
constexpr DWORD QDV_IOCTL_SDRAM_STATUS = QdvControlCode(0x224, QDV_METHOD_BUFFERED);
constexpr DWORD QDV_IOCTL_MEDIAN_FILTER = QdvControlCode(0x225, QDV_METHOD_BUFFERED);
constexpr DWORD QDV_IOCTL_INTER_PACKET_GAP = QdvControlCode(0x226, QDV_METHOD_BUFFERED);
constexpr DWORD QDV_IOCTL_GET_FRAME_ALT = QdvControlCode(0x226, QDV_METHOD_OUT_DIRECT);
constexpr DWORD QDV_IOCTL_PARAM227 = QdvControlCode(0x227, QDV_METHOD_BUFFERED);
constexpr DWORD QDV_IOCTL_WHITE_BALANCE = QdvControlCode(0x228, QDV_METHOD_BUFFERED);
constexpr DWORD QDV_IOCTL_COLOR_ENHANCEMENT = QdvControlCode(0x229, QDV_METHOD_BUFFERED);

static_assert(QDV_IOCTL_COMMAND == 0x120804);
static_assert(QDV_IOCTL_SET_SENSOR_REG == 0x12084C);
static_assert(QDV_IOCTL_GET_SENSOR_REG == 0x12088C);
static_assert(QDV_IOCTL_LOOKUP_TABLE == 0x120850);
static_assert(QDV_IOCTL_GET_FRAME == 0x12085A);
static_assert(QDV_IOCTL_GET_FRAME_ALT == 0x12089A);
static_assert(QDV_IOCTL_COLOR_ENHANCEMENT == 0x1208A4);

// Command packets (4 bytes, the input of QDV_IOCTL_COMMAND): byte 0 is the
// command number, bytes 1 to 3 its parameters.
constexpr std::uint8_t QDV_CMD_RESET_SENSOR = 0x01;  // parameters 6B 64 00
constexpr std::uint8_t QDV_CMD_MODE_1 = 0x02;        // SendModeCommand(1)
constexpr std::uint8_t QDV_CMD_MODE_0 = 0x03;        // SendModeCommand(0)
constexpr std::uint8_t QDV_CMD_MODE_MINUS_1 = 0x04;  // SendModeCommand(-1)
constexpr std::uint8_t QDV_CMD_09 = 0x09;
constexpr std::uint8_t QDV_CMD_0A = 0x0A;
constexpr std::uint8_t QDV_CMD_0B = 0x0B;
constexpr std::uint8_t QDV_CMD_0C = 0x0C;
constexpr std::uint8_t QDV_CMD_10 = 0x10;
constexpr std::uint8_t QDV_CMD_11 = 0x11;

// ---------------------------------------------------------------------------
// Values and records

// StreamStatus: output mode and frame format (the image library's stream
// formats); 0 stops the stream.
constexpr DWORD QDV_STREAM_OFF = STREAM_OFF;
constexpr DWORD QDV_STREAM_RAW8 = STREAM_RAW8;
constexpr DWORD QDV_STREAM_PACKED12 = STREAM_PACKED12;
constexpr DWORD QDV_STREAM_COMPRESSED8 = STREAM_COMPRESSED8;
constexpr DWORD QDV_STREAM_PACKED10 = STREAM_PACKED10;

// TriggerControlFlags.
constexpr DWORD QDV_TRIGGER_EXTERNAL_SYNC = 16;
constexpr DWORD QDV_TRIGGER_OUT1_HIGH = 8;
constexpr DWORD QDV_TRIGGER_OUT2_HIGH = 4;
constexpr DWORD QDV_TRIGGER_OUT1_ENABLED = 2;
constexpr DWORD QDV_TRIGGER_OUT2_ENABLED = 1;

// External input status bits.
constexpr DWORD QDV_EXTERNAL_INPUT1_ACTIVE = 0x4000;
constexpr DWORD QDV_EXTERNAL_INPUT2_ACTIVE = 0x8000;

// WhiteBalanceFlags.
constexpr DWORD QDV_WHITE_BALANCE_OFF = 0;
constexpr DWORD QDV_WHITE_BALANCE_AUTO = 1;
constexpr DWORD QDV_WHITE_BALANCE_LOCKED = 3;

// Lookup tables: 4096 u16 entries indexed by the 12-bit sample; a colour
// table is three of them back to back (red, green, blue).
constexpr DWORD QDV_LOOKUP_ENTRIES = 4096;
constexpr DWORD QDV_MONO_LOOKUP_BYTES = QDV_LOOKUP_ENTRIES * 2;      // 8,192
constexpr DWORD QDV_COLOR_LOOKUP_BYTES = 3 * QDV_MONO_LOOKUP_BYTES;  // 24,576

#pragma pack(push, 1)

// The region of interest and the delivered frame size (sixteen u32).
struct ViewPortRecord {
  std::uint32_t StartX;
  std::uint32_t StartY;
  std::uint32_t SizeX;
  std::uint32_t SizeY;
  std::uint32_t DecBinX;
  std::uint32_t DecBinY;
  std::uint32_t OffsetX;
  std::uint32_t OffsetY;
  std::uint32_t Width;
  std::uint32_t Height;
  std::uint32_t res1;
  std::uint32_t res2;
  std::uint32_t res3;
  std::uint32_t res4;
  std::uint32_t res5;
  std::uint32_t res6;
};

// Transfer counters.
struct StatisticsRecord {
  std::uint32_t PacketCount;
  std::uint32_t PacketLost;
  std::uint32_t PacketError;
  std::uint32_t ControlSet;
  std::uint32_t ControlGet;
  std::uint32_t ControlError;
  std::uint32_t FrameCount;
  std::uint32_t FrameResync;
  std::uint32_t FrameUser;
  std::uint32_t Reserved36;
  std::int64_t Interval;  // time covered by the counters, 100 ns units
  std::uint8_t Reserved48[16];
};

// Camera identity. Its text form, the serial number, is "%d.%d.%d.%d.%d" of
// Id4, Id0, Id2, Id8, Id10 in that order.
struct CameraInfoRecord {
  std::uint16_t Id0;
  std::uint16_t Id2;
  std::uint32_t Id4;
  std::uint16_t Id8;
  std::uint16_t Id10;
  std::uint8_t Reserved12[4];
};

#pragma pack(pop)

static_assert(sizeof(ViewPortRecord) == 64);
static_assert(sizeof(StatisticsRecord) == 64);
static_assert(sizeof(CameraInfoRecord) == 16);
static_assert(offsetof(ViewPortRecord, Width) == 32);
static_assert(offsetof(ViewPortRecord, res6) == 60);
static_assert(offsetof(StatisticsRecord, FrameUser) == 32);
static_assert(offsetof(StatisticsRecord, Interval) == 40);
static_assert(offsetof(CameraInfoRecord, Id4) == 4);
static_assert(offsetof(CameraInfoRecord, Id10) == 10);

// ---------------------------------------------------------------------------
// Functions

extern "C" {

// Device. OpenCamera accepts the index 0..35 (all open the same device).
DeviceHandle OpenCamera(std::int32_t index);
BOOL CloseCamera(DeviceHandle h);

// Commands.
BOOL ResetSensor(DeviceHandle h);
BOOL SendCommand(DeviceHandle h, void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* bytesReturned);
BOOL SendCommand11(DeviceHandle h, DWORD flag);
BOOL SendCommand10(DeviceHandle h, DWORD flag);
BOOL SendModeCommand(DeviceHandle h, std::int32_t mode);
BOOL SendCommand0A(DeviceHandle h, DWORD value);
BOOL SendCommand0B(DeviceHandle h, DWORD value);
BOOL SendCommand0C(DeviceHandle h, DWORD value);
BOOL SendCommand09(DeviceHandle h, DWORD value);

// Sensor registers: one SensorRegisterWord per request. GetSensorReg sends
// the select word and receives the word with its value filled in.
BOOL SetSensorReg(DeviceHandle h, std::uint16_t* word);
BOOL GetSensorReg(DeviceHandle h, std::uint16_t* word);

// Lookup tables.
BOOL GetColorLookupTable(DeviceHandle h, std::uint16_t* table);
BOOL SetColorLookupTable(DeviceHandle h, const std::uint16_t* table);
BOOL SetMonoLookupTable(DeviceHandle h, const std::uint16_t* table);
BOOL SetDefaultLookupTable(DeviceHandle h);

// Frames.
BOOL SetFrameWaitTimeout(DeviceHandle h, DWORD milliseconds);
BOOL GetFrameWaitTimeout(DeviceHandle h, DWORD* milliseconds);
BOOL GetFrame(DeviceHandle h, void* buffer, DWORD size, DWORD* bytesReturned);
BOOL GetFrameAlt(DeviceHandle h, void* buffer, DWORD size, DWORD* bytesReturned);
BOOL GetStreamStatus(DeviceHandle h, DWORD* status);
BOOL SetStreamStatus(DeviceHandle h, DWORD status);

// Region of interest.
BOOL GetViewPort(DeviceHandle h, ViewPortRecord* viewPort);
BOOL UpdateViewPort(DeviceHandle h, ViewPortRecord* viewPort);
BOOL SetViewPort(DeviceHandle h, const ViewPortRecord* viewPort);

// Statistics; GetStatistics(h, NULL) resets the counters.
BOOL GetStatistics(DeviceHandle h, StatisticsRecord* statistics);
BOOL ResetStatistics(DeviceHandle h);

// Settings.
BOOL GetFrequency(DeviceHandle h, DWORD* code);
BOOL SetFrequency(DeviceHandle h, DWORD code);
BOOL GetFrequencyMhz(DeviceHandle h, double* mhz);
BOOL GetTriggerControl(DeviceHandle h, DWORD* flags);
BOOL SetTriggerControl(DeviceHandle h, DWORD flags);
BOOL GetExternalInputStatus(DeviceHandle h, DWORD* status);
BOOL GetCameraInfo(DeviceHandle h, CameraInfoRecord* info);
BOOL GetSDRAMStatus(DeviceHandle h, DWORD* status);
BOOL SetSDRAMStatus(DeviceHandle h, DWORD status);
BOOL GetMedianFilterType(DeviceHandle h, DWORD* type);
BOOL SetMedianFilterType(DeviceHandle h, DWORD type);
BOOL GetInterPacketGapDelay(DeviceHandle h, DWORD* delay);
BOOL SetInterPacketGapDelay(DeviceHandle h, DWORD delay);
BOOL GetParam227(DeviceHandle h, DWORD* value);
BOOL SetParam227(DeviceHandle h, DWORD value);
BOOL GetWhiteBalanceFlags(DeviceHandle h, DWORD* flags);
BOOL SetWhiteBalanceFlags(DeviceHandle h, DWORD flags);
BOOL GetColorEnhancement(DeviceHandle h, DWORD* level);
BOOL SetColorEnhancement(DeviceHandle h, DWORD level);

// Register arithmetic: exposure, frame rate, gain and black level.
BOOL GetLineAndFrameClocks(DeviceHandle h, DWORD* lineClocks, DWORD* frameClocks);
BOOL GetLineAndFrameTime(DeviceHandle h, double* lineMs, double* frameMs);
BOOL GetExposureClocks(DeviceHandle h, DWORD* clocks);
BOOL GetExposureMs(DeviceHandle h, double* ms);
BOOL GetExposureMinMax(DeviceHandle h, DWORD* minRows, DWORD* maxRows);
BOOL SetExposure(DeviceHandle h, DWORD rows);
BOOL GetExposure(DeviceHandle h, DWORD* rows);
BOOL SetFrameRate(DeviceHandle h, double fps);
BOOL SetFramePeriodClocks(DeviceHandle h, DWORD targetClocks);
BOOL GetFrameRate(DeviceHandle h, double* fps);
BOOL GetGain(DeviceHandle h, double* db);
BOOL SetGain(DeviceHandle h, std::int32_t units);  // units of 0.006 dB
BOOL GetBlackLevelValue(DeviceHandle h, std::uint8_t* value);
BOOL SetBlackLevelValue(DeviceHandle h, std::uint8_t value);
BOOL GetBlackLevelStatus(DeviceHandle h, DWORD* manual);
BOOL SetBlackLevelStatus(DeviceHandle h, DWORD manual);

// Lookup-table builders (no device): fill 4096 entries with values 0..max.
BOOL BuildLookupTable(std::int32_t brightness, std::int32_t contrast, std::int32_t gamma,
                      std::uint16_t* table, std::uint16_t max);
BOOL BuildPredefinedLookupTable(std::uint16_t* table, std::uint16_t max, std::int32_t stepLength);

}  // extern "C"

#endif
