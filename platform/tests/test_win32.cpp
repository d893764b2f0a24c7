#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/device.h"
#include "platform/handle.h"
#include "platform/win32.h"

namespace {

// Records every request and answers with a configurable error.
class RecordingDevice : public platform::DeviceDriver {
 public:
  DWORD Open() override {
    ++opens;
    return openError;
  }
  void Close() override { ++closes; }
  DWORD IoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                  DWORD& bytesReturned) override {
    lastCode = code;
    lastIn.assign(static_cast<const uint8_t*>(in),
                  static_cast<const uint8_t*>(in) + (in ? inSize : 0));
    lastInNull = in == nullptr;
    lastOutNull = out == nullptr;
    lastOutSize = outSize;
    if (error) return error;
    if (out) std::memset(out, 0xAB, outSize);
    bytesReturned = outSize;
    return ERROR_SUCCESS;
  }
  DWORD openError = ERROR_SUCCESS;
  DWORD error = ERROR_SUCCESS;
  DWORD lastCode = 0, lastOutSize = 0;
  bool lastInNull = true, lastOutNull = true;
  std::vector<uint8_t> lastIn;
  int opens = 0, closes = 0;
};

HANDLE OpenPath(const char* path) {
  return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(LastError, IsPerThread) {
  SetLastError(1117);
  DWORD other = 0;
  std::thread t([&] {
    SetLastError(30);
    other = GetLastError();
  });
  t.join();
  EXPECT_EQ(other, 30u);
  EXPECT_EQ(GetLastError(), 1117u);
}

TEST(Devices, UnregisteredPathFailsWithFileNotFound) {
  SetLastError(0);
  EXPECT_EQ(OpenPath("\\\\.\\NOSUCHDEVICE"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  SetLastError(0);
  EXPECT_EQ(OpenPath("NOSUCHDEVICE"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(Devices, RequestReachesDriverExactly) {
  auto dev = std::make_shared<RecordingDevice>();
  platform::RegisterDevice("FAKE1", dev);
  HANDLE a = OpenPath("\\\\.\\FAKE1");
  HANDLE b = OpenPath("\\\\.\\FAKE1");  // several handles on one device
  ASSERT_NE(a, INVALID_HANDLE_VALUE);
  ASSERT_NE(b, INVALID_HANDLE_VALUE);
  EXPECT_NE(a, b);
  EXPECT_EQ(dev->opens, 2);

  uint8_t in[4] = {0x01, 0x6B, 0x64, 0x00};
  uint8_t out[16] = {};
  DWORD returned = 99;
  EXPECT_TRUE(DeviceIoControl(a, 0x120804, in, 4, out, 16, &returned, nullptr));
  EXPECT_EQ(dev->lastCode, 0x120804u);
  EXPECT_EQ(dev->lastIn, std::vector<uint8_t>(in, in + 4));
  EXPECT_EQ(dev->lastOutSize, 16u);
  EXPECT_EQ(returned, 16u);
  EXPECT_EQ(out[15], 0xAB);

  // No buffers at all: the driver sees null pointers.
  EXPECT_TRUE(DeviceIoControl(b, 0x120864, nullptr, 0, nullptr, 0, &returned, nullptr));
  EXPECT_TRUE(dev->lastInNull);
  EXPECT_TRUE(dev->lastOutNull);

  // A failing request sets the driver's error as last error.
  dev->error = ERROR_IO_DEVICE;
  SetLastError(0);
  EXPECT_FALSE(DeviceIoControl(a, 0x120860, nullptr, 0, out, 16, &returned, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);

  EXPECT_TRUE(CloseHandle(a));
  EXPECT_TRUE(CloseHandle(b));
  EXPECT_EQ(dev->closes, 2);
  // A closed handle is no longer valid.
  SetLastError(0);
  EXPECT_FALSE(DeviceIoControl(a, 0x120804, in, 4, nullptr, 0, &returned, nullptr));
  EXPECT_NE(GetLastError(), 0u);
  platform::UnregisterDevice("FAKE1");
}

TEST(Devices, DriverCanRefuseOpen) {
  auto dev = std::make_shared<RecordingDevice>();
  dev->openError = ERROR_FILE_NOT_FOUND;
  platform::RegisterDevice("FAKE2", dev);
  SetLastError(0);
  EXPECT_EQ(OpenPath("\\\\.\\FAKE2"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  platform::UnregisterDevice("FAKE2");
}

TEST(Handles, ClosingInvalidHandleFailsWith87) {
  SetLastError(0);
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SetLastError(0);
  EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(0x12345)));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Handles, UniqueHandleClosesOnceWhateverPathItTakes) {
  auto device = std::make_shared<RecordingDevice>();
  platform::RegisterDevice("UNIQUE", device);
  {
    platform::UniqueHandle a(OpenPath("\\\\.\\UNIQUE"));
    ASSERT_TRUE(a);
    platform::UniqueHandle b(std::move(a));  // moved: a closes nothing
    EXPECT_FALSE(a);
    platform::UniqueHandle c(OpenPath("\\\\.\\UNIQUE"));
    c = std::move(b);  // c's own handle closes here
    EXPECT_EQ(device->closes, 1);
    HANDLE kept = platform::UniqueHandle(OpenPath("\\\\.\\UNIQUE")).release();
    EXPECT_TRUE(CloseHandle(kept));
    EXPECT_EQ(device->closes, 2);
  }
  EXPECT_EQ(device->closes, 3);
  EXPECT_EQ(device->opens, 3);
  platform::UniqueHandle none(INVALID_HANDLE_VALUE);  // closes nothing
}

// Whether fd names an open file description in this process.
bool IsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

TEST(Handles, UniqueFdClosesOnceAndReportsAFailedClose) {
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  {
    platform::UniqueFd a(ends[0]);
    platform::UniqueFd b(std::move(a));  // moved: a closes nothing
    EXPECT_FALSE(a);
    platform::UniqueFd c(ends[1]);
    c = std::move(b);  // c's own descriptor closes here
    EXPECT_FALSE(IsOpen(ends[1]));
    EXPECT_TRUE(IsOpen(ends[0]));
    const int kept = c.release();
    EXPECT_FALSE(c);
    EXPECT_TRUE(IsOpen(kept));
    c.reset(kept);
  }
  EXPECT_FALSE(IsOpen(ends[0]));  // closed when its last owner went

  EXPECT_TRUE(platform::UniqueFd().close());  // nothing held: nothing to fail
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  platform::UniqueFd closedBehindItsBack(ends[0]);
  ASSERT_EQ(::close(ends[0]), 0);
  EXPECT_FALSE(closedBehindItsBack.close());
  EXPECT_EQ(errno, EBADF);
  EXPECT_FALSE(closedBehindItsBack);
  EXPECT_TRUE(platform::UniqueFd(ends[1]).close());
}

TEST(Events, OpenFailsWhenNoneExists) {
  SetLastError(0);
  EXPECT_EQ(OpenEventA(SYNCHRONIZE, 0, "NoSuchEvent"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(Events, NamedEventIsSharedAndDiesWithLastHandle) {
  HANDLE created = CreateEventA(nullptr, 0, 0, "SharedEvent");
  HANDLE opened = OpenEventA(SYNCHRONIZE, 0, "SharedEvent");
  ASSERT_NE(opened, nullptr);
  EXPECT_TRUE(SetEvent(created));
  EXPECT_EQ(WaitForSingleObject(opened, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(opened, 0), WAIT_TIMEOUT);  // auto-reset
  EXPECT_TRUE(CloseHandle(opened));
  EXPECT_TRUE(CloseHandle(created));
  EXPECT_EQ(OpenEventA(SYNCHRONIZE, 0, "SharedEvent"), nullptr);
}

TEST(Events, ManualResetStaysSignalled) {
  HANDLE e = CreateEventA(nullptr, 1, 1, nullptr);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ResetEvent(e));
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
  CloseHandle(e);
}

TEST(Events, AutoResetWakesExactlyOneOfTwoWaiters) {
  HANDLE e = CreateEventA(nullptr, 0, 0, "TwoWaiters");
  std::atomic<int> woken{0};
  auto waiter = [&] {
    if (WaitForSingleObject(e, 1000) == WAIT_OBJECT_0) ++woken;
  };
  std::thread t1(waiter), t2(waiter);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  SetEvent(e);
  t1.join();
  t2.join();
  EXPECT_EQ(woken.load(), 1);
  CloseHandle(e);
}

TEST(Events, ManualResetReleasesEveryWaiterAtOnce) {
  // Waiters that were not woken would return only at their 10 s timeout.
  HANDLE e = CreateEventA(nullptr, 1, 0, nullptr);
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i)
    waiters.emplace_back([&] {
      if (WaitForSingleObject(e, 10000) == WAIT_OBJECT_0) ++woken;
    });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto start = std::chrono::steady_clock::now();
  SetEvent(e);
  for (std::thread& t : waiters) t.join();
  EXPECT_EQ(woken.load(), 3);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  CloseHandle(e);
}

TEST(Events, EmptyNamesGiveIndependentEvents) {
  HANDLE a = CreateEventA(nullptr, 0, 0, "");
  HANDLE b = CreateEventA(nullptr, 0, 0, "");
  ASSERT_NE(a, b);
  SetEvent(a);
  EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0);
  CloseHandle(a);
  CloseHandle(b);
}

TEST(Events, WaitTimesOutWithinReason) {
  HANDLE e = CreateEventA(nullptr, 0, 0, nullptr);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForSingleObject(e, 50), WAIT_TIMEOUT);
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(45));
  EXPECT_LT(elapsed, std::chrono::seconds(5));
  CloseHandle(e);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_FAILED);
}

}  // namespace
