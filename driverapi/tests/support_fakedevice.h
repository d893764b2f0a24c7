// A recording fake of the camera driver for the driver API's tests: it keeps
// every request it receives, answers gets from canned replies, holds a small
// sensor register file keyed by select word, and fails requests on demand.
#ifndef DRIVERAPI_TESTS_SUPPORT_FAKEDEVICE_H
#define DRIVERAPI_TESTS_SUPPORT_FAKEDEVICE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "QDV47B5API.h"
#include "platform/device.h"

namespace fake {

// The driver's own error for a failed request; the library replaces it.
constexpr DWORD kDriverError = 31;  // ERROR_GEN_FAILURE
// A last-error value that no library path sets, to see it left alone.
constexpr DWORD kUntouchedError = 0xC0DE;

struct Request {
  DWORD code = 0;
  bool hasIn = false;
  std::vector<std::uint8_t> in;
  bool hasOut = false;
  DWORD outSize = 0;
};

// One register access: a read of a select word or a write of a whole word.
struct RegisterAccess {
  bool write = false;
  std::uint16_t word = 0;
  bool operator==(const RegisterAccess&) const = default;
};

inline RegisterAccess Read(std::uint16_t select) { return {false, select}; }
inline RegisterAccess Write(std::uint16_t word) { return {true, word}; }

class Device : public platform::DeviceDriver {
 public:
  DWORD Open() override;
  DWORD IoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                  DWORD& bytesReturned) override;
  void Close() override { ++closes; }

  // The select word that a register word belongs to (wide registers have
  // shorter selects).
  static std::uint16_t SelectOf(std::uint16_t word);
  // The stored word of a register; its select word (value 0) when never set.
  std::uint16_t Register(std::uint16_t select) const;
  void SetRegister(std::uint16_t word) { registers[SelectOf(word)] = word; }
  // Canned 4-byte reply for a get.
  void ReplyU32(DWORD code, std::uint32_t value);
  void Reply(DWORD code, std::vector<std::uint8_t> bytes) { replies[code] = std::move(bytes); }

  std::vector<Request> requests;
  std::vector<RegisterAccess> registerLog;
  int opens = 0;
  int closes = 0;

  bool failAll = false;                                // every request fails
  std::set<DWORD> failCodes;                           // requests with these codes fail
  std::set<std::uint16_t> failReads;                   // register reads of these selects fail
  std::set<std::uint16_t> failWrites;                  // register writes of these words fail
  std::map<DWORD, std::vector<std::uint8_t>> replies;  // bytes copied into the output
  std::map<std::uint16_t, std::uint16_t> registers;
};

// Registers a fresh fake as the camera device and opens it with OpenCamera.
class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Presets the last error so that a test can see whether a path set it.
  static void PresetLastError() { SetLastError(kUntouchedError); }

  std::shared_ptr<Device> device;
  DeviceHandle handle = INVALID_HANDLE_VALUE;
};

std::vector<std::uint8_t> Bytes(const void* data, std::size_t size);
std::vector<std::uint8_t> U32Bytes(std::uint32_t value);

}  // namespace fake

#endif
