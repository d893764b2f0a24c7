// The frame-period search: up to 1024 x 256 candidate pairs after 15
// register reads. The device is a minimal in-process register file, so the
// request cost is small beside the search.
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <memory>

#include "QDV47B5API.h"
#include "SensorMath.h"
#include "platform/device.h"

namespace {

// Answers register reads and writes from a map keyed by the word's high byte
// (enough for the registers this benchmark touches), and the clock code and
// SDRAM status with 36 MHz and off.
class RegisterFile : public platform::DeviceDriver {
 public:
  RegisterFile() { registers_[0xDB] = 0xDB78; }

  DWORD IoControl(DWORD code, const void* in, DWORD, void* out, DWORD outSize,
                  DWORD& bytesReturned) override {
    if (code == QDV_IOCTL_GET_SENSOR_REG || code == QDV_IOCTL_SET_SENSOR_REG) {
      std::uint16_t word;
      std::memcpy(&word, in, 2);
      auto& stored = registers_[word >> 8];
      if (code == QDV_IOCTL_SET_SENSOR_REG) stored = word;
      const std::uint16_t answer = stored != 0 ? stored : static_cast<std::uint16_t>(word & 0xFF00);
      std::memcpy(out, &answer, 2);
      bytesReturned = 2;
      return ERROR_SUCCESS;
    }
    const std::uint32_t value = code == QDV_IOCTL_FREQUENCY ? 4 : 0;
    if (out != nullptr && outSize >= 4) {
      std::memcpy(out, &value, 4);
      bytesReturned = 4;
    }
    return ERROR_SUCCESS;
  }

 private:
  std::map<unsigned, std::uint16_t> registers_;
};

DeviceHandle OpenRegisterFile() {
  platform::RegisterDevice(QDV_DEVICE_NAME, std::make_shared<RegisterFile>());
  return OpenCamera(0);
}

// A target that some pair meets exactly (the search stops there) and one that
// no pair meets (every pair is tried: lines are multiples of 4 clocks).
void BM_SetFramePeriodClocks(benchmark::State& state) {
  const DeviceHandle h = OpenRegisterFile();
  const DWORD target = static_cast<DWORD>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(SetFramePeriodClocks(h, target));
  CloseHandle(h);
}
BENCHMARK(BM_SetFramePeriodClocks)->Arg(1'440'000)->Arg(1'440'001)->Unit(benchmark::kMicrosecond);

void BM_SetFrameRate(benchmark::State& state) {
  const DeviceHandle h = OpenRegisterFile();
  for (auto _ : state) benchmark::DoNotOptimize(SetFrameRate(h, 49.9));
  CloseHandle(h);
}
BENCHMARK(BM_SetFrameRate)->Unit(benchmark::kMicrosecond);

// The search alone over every pair.
void BM_SearchFramePeriod(benchmark::State& state) {
  SensorMath::TimingRegisters r;
  r.DB = 0xDB78;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        SensorMath::SearchFramePeriod(r, 0xA800, 0xAC00, 0xCC00, 0xCD00, 1'440'001));
  }
}
BENCHMARK(BM_SearchFramePeriod)->Unit(benchmark::kMicrosecond);

// A register state far outside normal use: the line term A goes negative,
// so for small a the line length is nearly 2^32 clocks and every step of c
// wraps the 32-bit period.
void BM_SearchFramePeriodWrapping(benchmark::State& state) {
  SensorMath::TimingRegisters r;
  r.DB = 0xDB78;
  r.D8 = 0xD87F;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        SensorMath::SearchFramePeriod(r, 0xA800, 0xAC00, 0xCC00, 0xCD00, 1'440'001));
  }
}
BENCHMARK(BM_SearchFramePeriodWrapping)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
