#include "APP/control/ProcessorLoad.h"

#include <cmath>
#include <cstdio>

#include <unistd.h>

bool ReadSystemTimes(std::uint64_t& idle, std::uint64_t& kernel, std::uint64_t& user) {
  // First line of /proc/stat: "cpu user nice system idle iowait irq softirq
  // ..." in clock ticks, summed over all processors.
  std::FILE* file = std::fopen("/proc/stat", "r");
  if (file == nullptr) return false;
  unsigned long long t[7] = {};
  const int fields = std::fscanf(file, "cpu %llu %llu %llu %llu %llu %llu %llu", &t[0], &t[1],
                                 &t[2], &t[3], &t[4], &t[5], &t[6]);
  std::fclose(file);
  const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
  if (fields < 4 || ticksPerSecond <= 0) return false;
  const std::uint64_t unit = 10000000ull / static_cast<std::uint64_t>(ticksPerSecond);
  const std::uint64_t idleTicks = t[3] + t[4];
  idle = idleTicks * unit;
  kernel = (t[2] + t[5] + t[6] + idleTicks) * unit;
  user = (t[0] + t[1]) * unit;
  return true;
}

std::optional<long long> TProcessorLoad::Sample() {
  std::uint64_t idle = 0, kernel = 0, user = 0;
  if (!SystemTimes || !SystemTimes(idle, kernel, user)) return std::nullopt;
  const auto idleDelta = static_cast<std::int64_t>(idle - IdleTime);
  const auto kernelDelta = static_cast<std::int64_t>(kernel - KernelTime);
  const auto userDelta = static_cast<std::int64_t>(user - UserTime);
  const std::int64_t total = kernelDelta + userDelta;
  IdleTime = idle;
  KernelTime = kernel;
  UserTime = user;
  // With no time elapsed between two samples there is no load to show.
  if (total <= 0) return std::nullopt;
  const auto percent = static_cast<long long>(
      std::nearbyint(static_cast<double>((total - idleDelta) * 100) / static_cast<double>(total)));
  if (percent < 0) return std::nullopt;
  return percent;
}
