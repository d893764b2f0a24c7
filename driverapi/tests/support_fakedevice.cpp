#include "driverapi/tests/support_fakedevice.h"

#include <algorithm>
#include <cstring>

namespace fake {

DWORD Device::Open() {
  ++opens;
  return ERROR_SUCCESS;
}

std::uint16_t Device::SelectOf(std::uint16_t word) {
  const unsigned high = word >> 8;
  if ((high & 0xF8) == 0x80) return 0x8000;  // exposure field, 11 bits
  const unsigned group = high & 0xFC;
  if (group == 0xA0 || group == 0xA8 || group == 0xAC || group == 0xB0)
    return static_cast<std::uint16_t>(word & 0xFC00);  // 10-bit fields
  return static_cast<std::uint16_t>(word & 0xFF00);
}

std::uint16_t Device::Register(std::uint16_t select) const {
  auto it = registers.find(select);
  return it != registers.end() ? it->second : select;
}

void Device::ReplyU32(DWORD code, std::uint32_t value) { replies[code] = U32Bytes(value); }

DWORD Device::IoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                        DWORD& bytesReturned) {
  Request request;
  request.code = code;
  request.hasIn = in != nullptr;
  if (in != nullptr) request.in = Bytes(in, inSize);
  request.hasOut = out != nullptr;
  request.outSize = outSize;
  requests.push_back(request);
  if (failAll || failCodes.count(code) != 0) return kDriverError;

  if ((code == QDV_IOCTL_GET_SENSOR_REG || code == QDV_IOCTL_SET_SENSOR_REG) && in != nullptr &&
      inSize == 2) {
    std::uint16_t word;
    std::memcpy(&word, in, 2);
    const bool write = code == QDV_IOCTL_SET_SENSOR_REG;
    registerLog.push_back({write, word});
    if (write) {
      if (failWrites.count(word) != 0) return kDriverError;
      SetRegister(word);
    } else {
      if (failReads.count(word) != 0) return kDriverError;
      word = Register(SelectOf(word));
    }
    if (out != nullptr && outSize >= 2) {
      std::memcpy(out, &word, 2);
      bytesReturned = 2;
    }
    return ERROR_SUCCESS;
  }

  auto reply = replies.find(code);
  if (reply != replies.end() && out != nullptr) {
    const DWORD n = std::min<DWORD>(outSize, static_cast<DWORD>(reply->second.size()));
    std::memcpy(out, reply->second.data(), n);
    bytesReturned = n;
  }
  return ERROR_SUCCESS;
}

void DeviceTest::SetUp() {
  device = std::make_shared<Device>();
  platform::RegisterDevice(QDV_DEVICE_NAME, device);
  handle = OpenCamera(0);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
}

void DeviceTest::TearDown() {
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  platform::UnregisterDevice(QDV_DEVICE_NAME);
}

std::vector<std::uint8_t> Bytes(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  return std::vector<std::uint8_t>(p, p + size);
}

std::vector<std::uint8_t> U32Bytes(std::uint32_t value) { return Bytes(&value, 4); }

}  // namespace fake
