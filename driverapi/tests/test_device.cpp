// Device requests: control codes, buffers, command packets, frame reads and
// the last-error codes, against the recording fake device.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <optional>

#include "QDV47B5API.h"
#include "driverapi/tests/support_fakedevice.h"

using fake::DeviceTest;
using fake::kUntouchedError;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Checks one recorded request: its code, its input bytes (none when
// nullopt) and its output size (no output buffer when nullopt).
void ExpectRequest(const fake::Request& r, DWORD code, const std::optional<Bytes>& in,
                   std::optional<DWORD> outSize) {
  EXPECT_EQ(r.code, code);
  EXPECT_EQ(r.hasIn, in.has_value());
  if (in) {
    EXPECT_EQ(r.in, *in);
  }
  EXPECT_EQ(r.hasOut, outSize.has_value());
  if (outSize) {
    EXPECT_EQ(r.outSize, *outSize);
  }
}

void ExpectOnlyRequest(const fake::Device& device, DWORD code, const std::optional<Bytes>& in,
                       std::optional<DWORD> outSize) {
  ASSERT_EQ(device.requests.size(), 1u);
  ExpectRequest(device.requests[0], code, in, outSize);
}

void ExpectFailure(BOOL result, DWORD error) {
  EXPECT_EQ(result, 0);
  EXPECT_EQ(GetLastError(), error);
}

Bytes Packet(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  return {a, b, c, d};
}

}  // namespace

// --- Opening and closing ---------------------------------------------------

using OpenClose = DeviceTest;

TEST_F(OpenClose, IndexOutsideRangeIsRefused) {
  for (std::int32_t index : {-1, 36, -1000, 1000}) {
    SetLastError(0);
    EXPECT_EQ(OpenCamera(index), INVALID_HANDLE_VALUE) << index;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  EXPECT_EQ(device->opens, 1);  // only the fixture's own open
}

TEST_F(OpenClose, EveryValidIndexOpensTheSameDevice) {
  DeviceHandle last = OpenCamera(35);
  ASSERT_NE(last, INVALID_HANDLE_VALUE);
  EXPECT_NE(last, handle);  // several handles may be open at once
  EXPECT_EQ(device->opens, 2);
  DWORD status = 0;
  device->ReplyU32(QDV_IOCTL_STREAM_STATUS, 4);
  EXPECT_NE(GetStreamStatus(last, &status), 0);
  EXPECT_EQ(status, 4u);
  EXPECT_NE(CloseCamera(last), 0);
  EXPECT_EQ(device->closes, 1);
}

TEST_F(OpenClose, MissingDeviceGivesTheSystemError) {
  platform::UnregisterDevice(QDV_DEVICE_NAME);
  EXPECT_EQ(OpenCamera(0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(OpenClose, CloseCamera) {
  ExpectFailure(CloseCamera(INVALID_HANDLE_VALUE), ERROR_INVALID_PARAMETER);
  EXPECT_NE(CloseCamera(handle), 0);
  EXPECT_EQ(device->closes, 1);
  // A handle closed already: CloseHandle's own failure.
  EXPECT_EQ(CloseCamera(handle), 0);
  handle = INVALID_HANDLE_VALUE;
  EXPECT_TRUE(device->requests.empty());
}

// --- u32 settings: gets and sets sharing one code ---------------------------

struct U32Setting {
  const char* name;
  DWORD code;
  BOOL (*get)(DeviceHandle, DWORD*);
  BOOL (*set)(DeviceHandle, DWORD);
};

std::ostream& operator<<(std::ostream& os, const U32Setting& s) { return os << s.name; }

class U32Settings : public DeviceTest, public ::testing::WithParamInterface<U32Setting> {};

TEST_P(U32Settings, GetReceivesFourBytes) {
  device->ReplyU32(GetParam().code, 0x12345678);
  DWORD value = 0;
  PresetLastError();
  EXPECT_NE(GetParam().get(handle, &value), 0);
  EXPECT_EQ(value, 0x12345678u);
  EXPECT_EQ(GetLastError(), kUntouchedError);
  ExpectOnlyRequest(*device, GetParam().code, std::nullopt, 4);
}

TEST_P(U32Settings, FailedGetLeavesTheVariable) {
  device->failAll = true;
  DWORD value = 77;
  ExpectFailure(GetParam().get(handle, &value), ERROR_IO_DEVICE);
  EXPECT_EQ(value, 77u);
  ExpectOnlyRequest(*device, GetParam().code, std::nullopt, 4);
}

TEST_P(U32Settings, GetOnClosedHandleSendsNothing) {
  DWORD value = 77;
  ExpectFailure(GetParam().get(INVALID_HANDLE_VALUE, &value), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(value, 77u);
  EXPECT_TRUE(device->requests.empty());
}

TEST_P(U32Settings, GetIntoNullIsAFailedRequest) {
  ExpectFailure(GetParam().get(handle, nullptr), ERROR_IO_DEVICE);
  EXPECT_TRUE(device->requests.empty());
}

TEST_P(U32Settings, SetSendsFourBytes) {
  if (GetParam().set == nullptr) GTEST_SKIP() << "read-only";
  PresetLastError();
  EXPECT_NE(GetParam().set(handle, 0xA1B2C3D4), 0);
  EXPECT_EQ(GetLastError(), kUntouchedError);
  ExpectOnlyRequest(*device, GetParam().code, Packet(0xD4, 0xC3, 0xB2, 0xA1), std::nullopt);
}

TEST_P(U32Settings, SetFailures) {
  if (GetParam().set == nullptr) GTEST_SKIP() << "read-only";
  ExpectFailure(GetParam().set(INVALID_HANDLE_VALUE, 1), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(device->requests.empty());
  device->failAll = true;
  ExpectFailure(GetParam().set(handle, 1), ERROR_IO_DEVICE);
  EXPECT_EQ(device->requests.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    AllSettings, U32Settings,
    ::testing::Values(
        U32Setting{"FrameWaitTimeout", 0x120854, GetFrameWaitTimeout, SetFrameWaitTimeout},
        U32Setting{"StreamStatus", 0x12085C, GetStreamStatus, SetStreamStatus},
        U32Setting{"Frequency", 0x120868, GetFrequency, SetFrequency},
        U32Setting{"TriggerControl", 0x12086C, GetTriggerControl, SetTriggerControl},
        U32Setting{"ExternalInputStatus", 0x120870, GetExternalInputStatus, nullptr},
        U32Setting{"SDRAMStatus", 0x120890, GetSDRAMStatus, SetSDRAMStatus},
        U32Setting{"MedianFilterType", 0x120894, GetMedianFilterType, SetMedianFilterType},
        U32Setting{"InterPacketGapDelay", 0x120898, GetInterPacketGapDelay, SetInterPacketGapDelay},
        U32Setting{"Param227", 0x12089C, GetParam227, SetParam227},
        U32Setting{"WhiteBalanceFlags", 0x1208A0, GetWhiteBalanceFlags, SetWhiteBalanceFlags},
        U32Setting{"ColorEnhancement", 0x1208A4, GetColorEnhancement, SetColorEnhancement}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Records: region of interest, camera identity, statistics ---------------

using Records = DeviceTest;

TEST_F(Records, LayoutsArePackedLittleEndian) {
  ViewPortRecord v{};
  v.StartX = 0x04030201;
  v.res6 = 0x44332211;
  const Bytes bytes = fake::Bytes(&v, sizeof v);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), Packet(1, 2, 3, 4));
  EXPECT_EQ(Bytes(bytes.begin() + 60, bytes.end()), Packet(0x11, 0x22, 0x33, 0x44));
  EXPECT_EQ(offsetof(ViewPortRecord, SizeY), 12u);
  EXPECT_EQ(offsetof(ViewPortRecord, Height), 36u);
  EXPECT_EQ(offsetof(StatisticsRecord, ControlError), 20u);
  EXPECT_EQ(offsetof(CameraInfoRecord, Id8), 8u);
}

TEST_F(Records, GetViewPort) {
  ViewPortRecord granted{};
  granted.SizeX = 1920;
  granted.Height = 1080;
  device->Reply(QDV_IOCTL_VIEWPORT, fake::Bytes(&granted, sizeof granted));
  ViewPortRecord v{};
  PresetLastError();
  EXPECT_NE(GetViewPort(handle, &v), 0);
  EXPECT_EQ(GetLastError(), kUntouchedError);
  EXPECT_EQ(v.SizeX, 1920u);
  EXPECT_EQ(v.Height, 1080u);
  ExpectOnlyRequest(*device, 0x120860, std::nullopt, 64);
}

TEST_F(Records, UpdateViewPortSendsAndReceivesTheRecord) {
  ViewPortRecord granted{};
  granted.SizeX = 640;
  device->Reply(QDV_IOCTL_VIEWPORT, fake::Bytes(&granted, sizeof granted));
  ViewPortRecord wanted{};
  wanted.StartX = 7;
  wanted.SizeX = 641;
  wanted.res3 = 9;
  const Bytes sent = fake::Bytes(&wanted, sizeof wanted);
  EXPECT_NE(UpdateViewPort(handle, &wanted), 0);
  ExpectOnlyRequest(*device, 0x120860, sent, 64);
  EXPECT_EQ(wanted.SizeX, 640u);
  EXPECT_EQ(wanted.StartX, 0u);
}

TEST_F(Records, SetViewPortSendsOnly) {
  ViewPortRecord wanted{};
  wanted.SizeY = 480;
  EXPECT_NE(SetViewPort(handle, &wanted), 0);
  ExpectOnlyRequest(*device, 0x120860, fake::Bytes(&wanted, sizeof wanted), std::nullopt);
}

TEST_F(Records, ViewPortFailures) {
  ViewPortRecord v{};
  v.SizeX = 5;
  ExpectFailure(GetViewPort(INVALID_HANDLE_VALUE, &v), ERROR_INVALID_PARAMETER);
  ExpectFailure(UpdateViewPort(INVALID_HANDLE_VALUE, &v), ERROR_INVALID_PARAMETER);
  ExpectFailure(SetViewPort(INVALID_HANDLE_VALUE, &v), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(device->requests.empty());
  device->failAll = true;
  ExpectFailure(GetViewPort(handle, &v), ERROR_IO_DEVICE);
  ExpectFailure(UpdateViewPort(handle, &v), ERROR_IO_DEVICE);
  ExpectFailure(SetViewPort(handle, &v), ERROR_IO_DEVICE);
  EXPECT_EQ(v.SizeX, 5u);
  EXPECT_EQ(device->requests.size(), 3u);
  // A missing record never reaches the driver.
  ExpectFailure(UpdateViewPort(handle, nullptr), ERROR_IO_DEVICE);
  ExpectFailure(SetViewPort(handle, nullptr), ERROR_IO_DEVICE);
  EXPECT_EQ(device->requests.size(), 3u);
}

TEST_F(Records, GetCameraInfo) {
  const Bytes identity = {1, 0, 2, 0, 0x78, 0x56, 0x34, 0x12, 3, 0, 4, 0, 9, 9, 9, 9};
  device->Reply(QDV_IOCTL_CAMERA_INFO, identity);
  CameraInfoRecord info{};
  EXPECT_NE(GetCameraInfo(handle, &info), 0);
  ExpectOnlyRequest(*device, 0x120888, std::nullopt, 16);
  EXPECT_EQ(info.Id0, 1);
  EXPECT_EQ(info.Id2, 2);
  EXPECT_EQ(info.Id4, 0x12345678u);
  EXPECT_EQ(info.Id8, 3);
  EXPECT_EQ(info.Id10, 4);
  EXPECT_EQ(fake::Bytes(&info, sizeof info), identity);

  CameraInfoRecord kept{};
  kept.Id4 = 42;
  ExpectFailure(GetCameraInfo(INVALID_HANDLE_VALUE, &kept), ERROR_INVALID_PARAMETER);
  device->failAll = true;
  ExpectFailure(GetCameraInfo(handle, &kept), ERROR_IO_DEVICE);
  EXPECT_EQ(kept.Id4, 42u);
}

TEST_F(Records, GetStatistics) {
  StatisticsRecord counters{};
  counters.PacketCount = 1000;
  counters.FrameUser = 25;
  counters.Interval = 10'000'000;
  device->Reply(QDV_IOCTL_STATISTICS, fake::Bytes(&counters, sizeof counters));
  StatisticsRecord s{};
  EXPECT_NE(GetStatistics(handle, &s), 0);
  ExpectOnlyRequest(*device, 0x120864, std::nullopt, 64);
  EXPECT_EQ(s.PacketCount, 1000u);
  EXPECT_EQ(s.FrameUser, 25u);
  EXPECT_EQ(s.Interval, 10'000'000);
}

TEST_F(Records, NullStatisticsResetsTheCounters) {
  PresetLastError();
  EXPECT_NE(GetStatistics(handle, nullptr), 0);
  EXPECT_NE(ResetStatistics(handle), 0);
  EXPECT_EQ(GetLastError(), kUntouchedError);
  ASSERT_EQ(device->requests.size(), 2u);
  for (const fake::Request& r : device->requests)
    ExpectRequest(r, 0x120864, std::nullopt, std::nullopt);
}

TEST_F(Records, StatisticsFailures) {
  StatisticsRecord s{};
  s.FrameCount = 3;
  ExpectFailure(GetStatistics(INVALID_HANDLE_VALUE, &s), ERROR_INVALID_PARAMETER);
  ExpectFailure(GetStatistics(INVALID_HANDLE_VALUE, nullptr), ERROR_INVALID_PARAMETER);
  ExpectFailure(ResetStatistics(INVALID_HANDLE_VALUE), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(device->requests.empty());
  device->failAll = true;
  ExpectFailure(GetStatistics(handle, &s), ERROR_IO_DEVICE);
  ExpectFailure(ResetStatistics(handle), ERROR_IO_DEVICE);
  EXPECT_EQ(s.FrameCount, 3u);
}

// --- Command packets -------------------------------------------------------

using Commands = DeviceTest;

TEST_F(Commands, ResetSensorSendsItsPacketAndWaits) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  EXPECT_NE(ResetSensor(handle), 0);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(1));
  ExpectOnlyRequest(*device, 0x120804, Packet(0x01, 0x6B, 0x64, 0x00), std::nullopt);
}

TEST_F(Commands, ResetSensorWaitsOnEveryPath) {
  using Clock = std::chrono::steady_clock;
  auto start = Clock::now();
  ExpectFailure(ResetSensor(INVALID_HANDLE_VALUE), ERROR_INVALID_PARAMETER);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(1));
  EXPECT_TRUE(device->requests.empty());
  device->failAll = true;
  start = Clock::now();
  ExpectFailure(ResetSensor(handle), ERROR_IO_DEVICE);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(1));
}

TEST_F(Commands, FlagCommands) {
  EXPECT_NE(SendCommand11(handle, 0), 0);
  EXPECT_NE(SendCommand11(handle, 7), 0);
  EXPECT_NE(SendCommand10(handle, 0), 0);
  EXPECT_NE(SendCommand10(handle, 0x80000000u), 0);
  ASSERT_EQ(device->requests.size(), 4u);
  ExpectRequest(device->requests[0], 0x120804, Packet(0x11, 0, 0, 0), std::nullopt);
  ExpectRequest(device->requests[1], 0x120804, Packet(0x11, 0, 1, 0), std::nullopt);
  ExpectRequest(device->requests[2], 0x120804, Packet(0x10, 0, 0, 0), std::nullopt);
  ExpectRequest(device->requests[3], 0x120804, Packet(0x10, 0, 1, 0), std::nullopt);
}

TEST_F(Commands, ModeCommands) {
  EXPECT_NE(SendModeCommand(handle, 1), 0);
  EXPECT_NE(SendModeCommand(handle, 0), 0);
  EXPECT_NE(SendModeCommand(handle, -1), 0);
  ASSERT_EQ(device->requests.size(), 3u);
  ExpectRequest(device->requests[0], 0x120804, Packet(2, 0, 0, 0), std::nullopt);
  ExpectRequest(device->requests[1], 0x120804, Packet(3, 0, 0, 0), std::nullopt);
  ExpectRequest(device->requests[2], 0x120804, Packet(4, 0, 0, 0), std::nullopt);
}

TEST_F(Commands, UnknownModeFailsWithoutLastError) {
  // The mode is tested before the handle.
  for (DeviceHandle h : {handle, INVALID_HANDLE_VALUE}) {
    for (std::int32_t mode : {2, -2, 3, 100}) {
      PresetLastError();
      EXPECT_EQ(SendModeCommand(h, mode), 0);
      EXPECT_EQ(GetLastError(), kUntouchedError);
    }
  }
  EXPECT_TRUE(device->requests.empty());
}

TEST_F(Commands, ValueCommandsSendTwelveBits) {
  EXPECT_NE(SendCommand0A(handle, 0x1234), 0);
  EXPECT_NE(SendCommand0B(handle, 0xFFFFFABC), 0);
  EXPECT_NE(SendCommand0C(handle, 0x1FFF), 0);
  EXPECT_NE(SendCommand09(handle, 0x0042), 0);
  EXPECT_NE(SendCommand0C(handle, 0x0246), 0);
  ASSERT_EQ(device->requests.size(), 5u);
  ExpectRequest(device->requests[0], 0x120804, Packet(0x0A, 0x02, 0x34, 0), std::nullopt);
  ExpectRequest(device->requests[1], 0x120804, Packet(0x0B, 0x0A, 0xBC, 0), std::nullopt);
  ExpectRequest(device->requests[2], 0x120804, Packet(0x0C, 0x0F, 0xFF, 0), std::nullopt);
  ExpectRequest(device->requests[3], 0x120804, Packet(0x09, 0x00, 0x42, 0), std::nullopt);
  ExpectRequest(device->requests[4], 0x120804, Packet(0x0C, 0x01, 0x23, 0), std::nullopt);
}

TEST_F(Commands, PacketFailures) {
  using Send = BOOL (*)(DeviceHandle, DWORD);
  const Send sends[] = {SendCommand11, SendCommand10, SendCommand0A,
                        SendCommand0B, SendCommand0C, SendCommand09};
  for (Send send : sends) ExpectFailure(send(INVALID_HANDLE_VALUE, 1), ERROR_INVALID_PARAMETER);
  ExpectFailure(SendModeCommand(INVALID_HANDLE_VALUE, 1), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(device->requests.empty());
  device->failAll = true;
  for (Send send : sends) ExpectFailure(send(handle, 1), ERROR_IO_DEVICE);
  ExpectFailure(SendModeCommand(handle, 0), ERROR_IO_DEVICE);
  EXPECT_EQ(device->requests.size(), 7u);
}

TEST_F(Commands, SendCommandPassesEverythingThrough) {
  device->Reply(QDV_IOCTL_COMMAND, {0xAA, 0xBB, 0xCC});
  std::array<std::uint8_t, 5> in = {1, 2, 3, 4, 5};
  std::array<std::uint8_t, 8> out{};
  DWORD returned = 99;
  PresetLastError();
  EXPECT_NE(SendCommand(handle, in.data(), 5, out.data(), 8, &returned), 0);
  EXPECT_EQ(GetLastError(), kUntouchedError);
  ExpectOnlyRequest(*device, 0x120804, Bytes(in.begin(), in.end()), 8);
  EXPECT_EQ(returned, 3u);
  EXPECT_EQ(out[0], 0xAA);
  EXPECT_EQ(out[2], 0xCC);

  EXPECT_NE(SendCommand(handle, nullptr, 0, nullptr, 0, &returned), 0);
  ExpectRequest(device->requests[1], 0x120804, std::nullopt, std::nullopt);

  ExpectFailure(SendCommand(INVALID_HANDLE_VALUE, in.data(), 5, nullptr, 0, &returned),
                ERROR_INVALID_PARAMETER);
  device->failAll = true;
  ExpectFailure(SendCommand(handle, in.data(), 5, nullptr, 0, &returned), ERROR_IO_DEVICE);
  EXPECT_EQ(device->requests.size(), 3u);
}

// --- Sensor registers ------------------------------------------------------

using Registers = DeviceTest;

TEST_F(Registers, SetSensorRegSendsTheWord) {
  std::uint16_t word = 0xC67F;
  PresetLastError();
  EXPECT_NE(SetSensorReg(handle, &word), 0);
  EXPECT_EQ(GetLastError(), kUntouchedError);
  ExpectOnlyRequest(*device, 0x12084C, Bytes{0x7F, 0xC6}, 2);
  EXPECT_EQ(word, 0xC67F);
  EXPECT_EQ(device->Register(0xC600), 0xC67F);
}

TEST_F(Registers, GetSensorRegFillsInTheValue) {
  device->SetRegister(0xCB42);
  std::uint16_t word = 0xCB00;
  EXPECT_NE(GetSensorReg(handle, &word), 0);
  ExpectOnlyRequest(*device, 0x12088C, Bytes{0x00, 0xCB}, 2);
  EXPECT_EQ(word, 0xCB42);
}

TEST_F(Registers, Failures) {
  std::uint16_t word = 0xCB00;
  ExpectFailure(GetSensorReg(INVALID_HANDLE_VALUE, &word), ERROR_INVALID_PARAMETER);
  ExpectFailure(SetSensorReg(INVALID_HANDLE_VALUE, &word), ERROR_INVALID_PARAMETER);
  ExpectFailure(GetSensorReg(handle, nullptr), ERROR_IO_DEVICE);
  ExpectFailure(SetSensorReg(handle, nullptr), ERROR_IO_DEVICE);
  EXPECT_TRUE(device->requests.empty());
  device->failAll = true;
  ExpectFailure(GetSensorReg(handle, &word), ERROR_IO_DEVICE);
  EXPECT_EQ(word, 0xCB00);
  ExpectFailure(SetSensorReg(handle, &word), ERROR_IO_DEVICE);
  EXPECT_EQ(device->requests.size(), 2u);
}

// --- Lookup tables ---------------------------------------------------------

using LookupTables = DeviceTest;

TEST_F(LookupTables, SetTablesSendExactSizes) {
  std::vector<std::uint16_t> color(3 * 4096);
  for (std::size_t i = 0; i < color.size(); ++i) color[i] = static_cast<std::uint16_t>(i * 7);
  EXPECT_NE(SetColorLookupTable(handle, color.data()), 0);
  EXPECT_NE(SetMonoLookupTable(handle, color.data()), 0);
  EXPECT_NE(SetDefaultLookupTable(handle), 0);
  ASSERT_EQ(device->requests.size(), 3u);
  ExpectRequest(device->requests[0], 0x120850, fake::Bytes(color.data(), 24576), std::nullopt);
  ExpectRequest(device->requests[1], 0x120850, fake::Bytes(color.data(), 8192), std::nullopt);
  ExpectRequest(device->requests[2], 0x120850, std::nullopt, std::nullopt);
}

TEST_F(LookupTables, GetColorLookupTable) {
  std::vector<std::uint16_t> camera(3 * 4096);
  for (std::size_t i = 0; i < camera.size(); ++i) camera[i] = static_cast<std::uint16_t>(i % 256);
  device->Reply(QDV_IOCTL_LOOKUP_TABLE, fake::Bytes(camera.data(), 24576));
  std::vector<std::uint16_t> table(3 * 4096, 0xFFFF);
  EXPECT_NE(GetColorLookupTable(handle, table.data()), 0);
  ExpectOnlyRequest(*device, 0x120850, std::nullopt, 24576);
  EXPECT_EQ(table, camera);
}

TEST_F(LookupTables, ShortColorTableAnswerIsAFailedRead) {
  // A driver that answers with fewer bytes than a whole table (here one
  // table of three, and all but the last entry) leaves the caller's table
  // alone.
  const std::vector<std::uint16_t> camera(3 * 4096, 0x0123);
  std::vector<std::uint16_t> table(3 * 4096, 0xFFFF);
  for (std::size_t bytes : {std::size_t{8192}, std::size_t{24574}}) {
    device->Reply(QDV_IOCTL_LOOKUP_TABLE, fake::Bytes(camera.data(), bytes));
    ExpectFailure(GetColorLookupTable(handle, table.data()), ERROR_READ_FAULT);
    EXPECT_EQ(table, std::vector<std::uint16_t>(3 * 4096, 0xFFFF));
  }
}

TEST_F(LookupTables, ReadFailsWith30AndWritesWith29) {
  std::vector<std::uint16_t> table(3 * 4096, 5);
  for (DWORD code : {ERROR_INVALID_PARAMETER, ERROR_READ_FAULT}) {
    const DeviceHandle h = code == ERROR_INVALID_PARAMETER ? INVALID_HANDLE_VALUE : handle;
    device->failAll = code != ERROR_INVALID_PARAMETER;
    ExpectFailure(GetColorLookupTable(h, table.data()), code);
    EXPECT_EQ(table[100], 5);
  }
  for (DWORD code : {ERROR_INVALID_PARAMETER, ERROR_WRITE_FAULT}) {
    const DeviceHandle h = code == ERROR_INVALID_PARAMETER ? INVALID_HANDLE_VALUE : handle;
    device->failAll = code != ERROR_INVALID_PARAMETER;
    ExpectFailure(SetColorLookupTable(h, table.data()), code);
    ExpectFailure(SetMonoLookupTable(h, table.data()), code);
    ExpectFailure(SetDefaultLookupTable(h), code);
  }
  // Invalid handle: nothing sent; failed requests: one each.
  EXPECT_EQ(device->requests.size(), 4u);
}

TEST_F(LookupTables, NullTableIsAFailedTransfer) {
  ExpectFailure(GetColorLookupTable(handle, nullptr), ERROR_READ_FAULT);
  ExpectFailure(SetColorLookupTable(handle, nullptr), ERROR_WRITE_FAULT);
  ExpectFailure(SetMonoLookupTable(handle, nullptr), ERROR_WRITE_FAULT);
  EXPECT_TRUE(device->requests.empty());
}

// --- Frame reads -----------------------------------------------------------

struct FrameRead {
  const char* name;
  DWORD code;
  BOOL (*read)(DeviceHandle, void*, DWORD, DWORD*);
};

std::ostream& operator<<(std::ostream& os, const FrameRead& f) { return os << f.name; }

class FrameReads : public DeviceTest, public ::testing::WithParamInterface<FrameRead> {};

TEST_P(FrameReads, DeliversThePayload) {
  device->Reply(GetParam().code, {10, 20, 30, 40, 50});
  std::array<std::uint8_t, 16> buffer{};
  DWORD returned = 0;
  PresetLastError();
  EXPECT_NE(GetParam().read(handle, buffer.data(), 16, &returned), 0);
  EXPECT_EQ(GetLastError(), kUntouchedError);
  ExpectOnlyRequest(*device, GetParam().code, std::nullopt, 16);
  EXPECT_EQ(returned, 5u);
  EXPECT_EQ(buffer[4], 50);
  EXPECT_EQ(buffer[5], 0);
}

TEST_P(FrameReads, Failures) {
  std::array<std::uint8_t, 16> buffer{};
  DWORD returned = 0;
  ExpectFailure(GetParam().read(INVALID_HANDLE_VALUE, buffer.data(), 16, &returned),
                ERROR_INVALID_PARAMETER);
  ExpectFailure(GetParam().read(handle, nullptr, 16, &returned), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(device->requests.empty());
  device->failAll = true;
  ExpectFailure(GetParam().read(handle, buffer.data(), 16, &returned), ERROR_READ_FAULT);
  EXPECT_EQ(device->requests.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(BothCodes, FrameReads,
                         ::testing::Values(FrameRead{"GetFrame", 0x12085A, GetFrame},
                                           FrameRead{"GetFrameAlt", 0x12089A, GetFrameAlt}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Clock frequency in MHz ------------------------------------------------

using FrequencyMhz = DeviceTest;

TEST_F(FrequencyMhz, MapsEveryCode) {
  const double expected[9] = {9.765625,  18.0, 19.53125,  26.041666, 36.0,
                              52.083333, 64.8, 74.769231, 69.428571};
  for (std::uint32_t code = 0; code < 9; ++code) {
    device->ReplyU32(QDV_IOCTL_FREQUENCY, code);
    double mhz = 0;
    EXPECT_NE(GetFrequencyMhz(handle, &mhz), 0);
    EXPECT_EQ(mhz, expected[code]) << code;
  }
  ASSERT_EQ(device->requests.size(), 9u);
  ExpectRequest(device->requests[0], 0x120868, std::nullopt, 4);
}

TEST_F(FrequencyMhz, UnknownCodeFailsWithoutLastError) {
  device->ReplyU32(QDV_IOCTL_FREQUENCY, 9);
  double mhz = -1;
  PresetLastError();
  EXPECT_EQ(GetFrequencyMhz(handle, &mhz), 0);
  EXPECT_EQ(GetLastError(), kUntouchedError);
  EXPECT_EQ(mhz, -1);
}

TEST_F(FrequencyMhz, Failures) {
  double mhz = -1;
  ExpectFailure(GetFrequencyMhz(INVALID_HANDLE_VALUE, &mhz), ERROR_INVALID_PARAMETER);
  ExpectFailure(GetFrequencyMhz(handle, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(device->requests.empty());
  device->failAll = true;
  ExpectFailure(GetFrequencyMhz(handle, &mhz), ERROR_IO_DEVICE);
  EXPECT_EQ(mhz, -1);
}
