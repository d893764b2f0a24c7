// The benchmark behind the Scimark2 export: SciMark 2.0's five kernels, each
// measured by doubling its cycle count until a run takes the minimum time, at
// raised thread priority.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "installer/dll/src/ScimarkKernels.h"

namespace qdvsetup {

// Problem sizes.
inline constexpr int kFftSize = 1024;  // complex values
inline constexpr int kSorSize = 100;
inline constexpr double kSorOmega = 1.25;
inline constexpr int kSparseRows = 1000;
inline constexpr int kSparseNonZeros = 5000;
inline constexpr int kLuSize = 100;
inline constexpr int kScimarkSeed = 101010;

// Every kernel's input, drawn from the shared generator in the benchmark's
// order: the FFT vector, the SOR grid, the sparse vector, then its values,
// and the LU matrix.
struct ScimarkInputs {
  explicit ScimarkInputs(ScimarkRandom& random);
  std::vector<double> fft;
  Matrix sor;
  std::vector<double> sparseX;
  std::vector<double> sparseY;
  std::vector<double> sparseValues;
  std::vector<int> sparseRow;
  std::vector<int> sparseColumn;
  Matrix luSource;
  Matrix lu;
  std::vector<int> pivot;
};

// Seconds on some monotonic clock.
using SecondsClock = std::function<double()>;

// std::chrono::steady_clock in seconds.
double steadySeconds();

// Accumulates the time between start and stop; start zeroes the total.
class Stopwatch {
 public:
  explicit Stopwatch(SecondsClock clock) : clock_(std::move(clock)) {}
  void start();
  void stop();
  double read() const { return total_; }

 private:
  SecondsClock clock_;
  double total_ = 0.0;
  double last_ = 0.0;
  bool running_ = false;
};

// The largest cycle count tried: a kernel still under the minimum time there
// (a clock that does not move) gives up with 0 cycles.
inline constexpr std::uint64_t kMaxScimarkCycles = std::uint64_t{1} << 40;

struct Measurement {
  std::uint64_t cycles = 0;  // 0 when the minimum time was never reached
  double seconds = 0.0;
};

// Runs kernel(cycles) for cycles = 1, 2, 4, ... until one run takes at least
// minSeconds on the stopwatch.
Measurement measureKernel(const std::function<void(std::uint64_t cycles)>& kernel,
                          Stopwatch& stopwatch, double minSeconds);

// Mflops of `flops` done in the measured time; 0 when the measurement gave
// up or the result is not finite.
double mflops(double flops, const Measurement& m);

// A score as the export stores it: rounded half to even, 0 for a value that
// is not finite, clamped to 0 .. 2^31 - 1.
std::int32_t roundScore(double mflops);

struct ScimarkOptions {
  double minSeconds = 0.5;
  SecondsClock clock = steadySeconds;
};

// The export's work with a chosen minimum time and clock. Each non-null
// pointer receives its kernel's rounded score; returns the rounded composite.
std::int32_t runScimark2(const ScimarkOptions& options, std::int32_t* fft, std::int32_t* sor,
                         std::int32_t* monteCarlo, std::int32_t* sparse, std::int32_t* lu);

}  // namespace qdvsetup
