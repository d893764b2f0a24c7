// The processor load shown in the status bar: the share of the system's
// processor time that was not idle between two samples of its times.
#ifndef APP_PROCESSORLOAD_H
#define APP_PROCESSORLOAD_H

#include <cstdint>
#include <functional>
#include <optional>

// Reads the system's idle, kernel (idle included) and user times in 100 ns
// units; false when they cannot be read.
using SystemTimesReader =
    std::function<bool(std::uint64_t& idle, std::uint64_t& kernel, std::uint64_t& user)>;
bool ReadSystemTimes(std::uint64_t& idle, std::uint64_t& kernel, std::uint64_t& user);

class TProcessorLoad {
 public:
  // The load since the previous sample (the first one: since zero times) in
  // whole percent, halves to the even neighbour. Nothing when the times
  // cannot be read, when no time passed, or when they give a negative load.
  std::optional<long long> Sample();

  // The times at the previous sample, in 100 ns units.
  std::uint64_t IdleTime = 0;
  std::uint64_t KernelTime = 0;
  std::uint64_t UserTime = 0;
  // Source of the times (replaced by tests).
  SystemTimesReader SystemTimes = ReadSystemTimes;
};

#endif
