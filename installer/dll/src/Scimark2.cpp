#include "installer/dll/src/Scimark2.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <limits>
#include <new>

#include "QDVsetup.h"
#include "installer/dll/src/Trace.h"

namespace qdvsetup {
namespace {

// The nice value the kernels run at: the thread's counterpart of a high
// priority class.
constexpr int kRaisedNice = -10;

struct Scores {
  double fft = 0.0;
  double sor = 0.0;
  double monteCarlo = 0.0;
  double sparse = 0.0;
  double lu = 0.0;
};

// Raises the calling thread's nice value for its lifetime; on Linux the nice
// value belongs to each thread, and the calling thread runs the kernels. A
// priority that cannot be read is left alone, since it could not be put back,
// and so is one already at the raised level or above.
class RaisedThreadPriority {
 public:
  RaisedThreadPriority() : thread_(gettid()) {
    errno = 0;
    const int saved = getpriority(PRIO_PROCESS, static_cast<id_t>(thread_));
    if (saved == -1 && errno != 0) {
      traceMessage(L"Could not read the thread priority, errno=%d; it stays as it is \n", errno);
      return;
    }
    if (saved <= kRaisedNice) {
      return;  // already at that priority or above
    }
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(thread_), kRaisedNice) != 0) {
      traceMessage(L"Could not raise the thread priority, errno=%d; measuring at nice %d \n", errno,
                   saved);
      return;
    }
    saved_ = saved;
    raised_ = true;
  }
  ~RaisedThreadPriority() {
    if (raised_) {
      setpriority(PRIO_PROCESS, static_cast<id_t>(thread_), saved_);
    }
  }
  RaisedThreadPriority(const RaisedThreadPriority&) = delete;
  RaisedThreadPriority& operator=(const RaisedThreadPriority&) = delete;

 private:
  pid_t thread_;
  int saved_ = 0;
  bool raised_ = false;
};

void fillRandom(double* values, std::size_t count, ScimarkRandom& random) {
  for (std::size_t i = 0; i < count; ++i) {
    values[i] = random.nextDouble();
  }
}

void fillRandom(Matrix& matrix, int rows, int columns, ScimarkRandom& random) {
  for (int i = 0; i < rows; ++i) {
    fillRandom(matrix[i], static_cast<std::size_t>(columns), random);
  }
}

// Five entries a row; entry i of row r in column i * max(1, r / 5).
void fillSparsePattern(std::vector<int>& row, std::vector<int>& column) {
  const int perRow = kSparseNonZeros / kSparseRows;
  row[0] = 0;
  for (int r = 0; r < kSparseRows; ++r) {
    const int rowStart = row[static_cast<std::size_t>(r)];
    int step = r / perRow;
    row[static_cast<std::size_t>(r) + 1] = rowStart + perRow;
    if (step < 1) {
      step = 1;
    }
    for (int i = 0; i < perRow; ++i) {
      column[static_cast<std::size_t>(rowStart + i)] = i * step;
    }
  }
}

Scores measureAll(ScimarkInputs& in, const ScimarkOptions& options) {
  Stopwatch stopwatch(options.clock);
  Scores s;
  Measurement m = measureKernel(
      [&](std::uint64_t cycles) {
        for (std::uint64_t i = 0; i < cycles; ++i) {
          fftTransform(2 * kFftSize, in.fft.data());
          fftInverse(2 * kFftSize, in.fft.data());
        }
      },
      stopwatch, options.minSeconds);
  s.fft = mflops(fftFlops(kFftSize, m.cycles), m);

  m = measureKernel(
      [&](std::uint64_t cycles) {
        sorExecute(kSorSize, kSorSize, kSorOmega, in.sor.rows(), cycles);
      },
      stopwatch, options.minSeconds);
  s.sor = mflops(sorFlops(kSorSize, kSorSize, m.cycles), m);

  m = measureKernel([](std::uint64_t cycles) { monteCarloIntegrate(cycles); }, stopwatch,
                    options.minSeconds);
  s.monteCarlo = mflops(monteCarloFlops(m.cycles), m);

  m = measureKernel(
      [&](std::uint64_t cycles) {
        sparseMatmult(kSparseRows, in.sparseY.data(), in.sparseValues.data(), in.sparseRow.data(),
                      in.sparseColumn.data(), in.sparseX.data(), cycles);
      },
      stopwatch, options.minSeconds);
  s.sparse = mflops(sparseFlops(kSparseRows, kSparseNonZeros, m.cycles), m);

  m = measureKernel(
      [&](std::uint64_t cycles) {
        for (std::uint64_t i = 0; i < cycles; ++i) {
          in.lu.copyFrom(in.luSource);
          luFactor(kLuSize, kLuSize, in.lu.rows(), in.pivot.data());
        }
      },
      stopwatch, options.minSeconds);
  s.lu = mflops(luFlops(kLuSize, m.cycles), m);
  return s;
}

void traceScores(const Scores& s) {
  traceMessage(L"FFT             Mflops: %8.2f  (N=%d)\n", s.fft, kFftSize);
  traceMessage(L"SOR             Mflops: %8.2f  (%d x %d)\n", s.sor, kSorSize, kSorSize);
  traceMessage(L"MonteCarlo:     Mflops: %8.2f\n", s.monteCarlo);
  traceMessage(L"Sparse matmult  Mflops: %8.2f  (N=%d, nz=%d)\n", s.sparse, kSparseRows,
               kSparseNonZeros);
  traceMessage(L"LU              Mflops: %8.2f  (M=%d, N=%d)\n", s.lu, kLuSize, kLuSize);
}

void store(std::int32_t* destination, double score) {
  if (destination) {
    *destination = roundScore(score);
  }
}

}  // namespace

ScimarkInputs::ScimarkInputs(ScimarkRandom& random)
    : fft(2 * kFftSize),
      sor(kSorSize, kSorSize),
      sparseX(kSparseRows),
      sparseY(kSparseRows),
      sparseValues(kSparseNonZeros / kSparseRows * kSparseRows),
      sparseRow(kSparseRows + 1),
      sparseColumn(kSparseNonZeros),
      luSource(kLuSize, kLuSize),
      lu(kLuSize, kLuSize),
      pivot(kLuSize) {
  fillRandom(fft.data(), fft.size(), random);
  fillRandom(sor, kSorSize, kSorSize, random);
  fillRandom(sparseX.data(), sparseX.size(), random);
  fillRandom(sparseValues.data(), sparseValues.size(), random);
  fillSparsePattern(sparseRow, sparseColumn);
  fillRandom(luSource, kLuSize, kLuSize, random);
}

double steadySeconds() {
  using Seconds = std::chrono::duration<double>;
  return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void Stopwatch::start() {
  running_ = true;
  total_ = 0.0;
  last_ = clock_();
}

void Stopwatch::stop() {
  if (running_) {
    total_ += clock_() - last_;
    running_ = false;
  }
}

Measurement measureKernel(const std::function<void(std::uint64_t cycles)>& kernel,
                          Stopwatch& stopwatch, double minSeconds) {
  for (std::uint64_t cycles = 1;; cycles *= 2) {
    stopwatch.start();
    kernel(cycles);
    stopwatch.stop();
    if (stopwatch.read() >= minSeconds) {
      return {cycles, stopwatch.read()};
    }
    if (cycles >= kMaxScimarkCycles) {
      return {0, stopwatch.read()};
    }
  }
}

double mflops(double flops, const Measurement& m) {
  if (m.cycles == 0) {
    return 0.0;
  }
  const double score = flops / m.seconds * 1.0e-6;
  return std::isfinite(score) ? score : 0.0;
}

std::int32_t roundScore(double mflops) {
  if (!std::isfinite(mflops)) {
    return 0;
  }
  const double rounded = std::nearbyint(mflops);
  if (rounded <= 0.0) {
    return 0;
  }
  constexpr double kLargest = std::numeric_limits<std::int32_t>::max();
  return rounded >= kLargest ? std::numeric_limits<std::int32_t>::max()
                             : static_cast<std::int32_t>(rounded);
}

std::int32_t runScimark2(const ScimarkOptions& options, std::int32_t* fft, std::int32_t* sor,
                         std::int32_t* monteCarlo, std::int32_t* sparse, std::int32_t* lu) {
  traceMessage(L"\nSciMark2 start ... \n");
  ScimarkRandom random(kScimarkSeed);
  // The inputs exist before the priority is raised, and a failure to make
  // them ends only this call.
  std::unique_ptr<ScimarkInputs> inputs;
  try {
    inputs = std::make_unique<ScimarkInputs>(random);
  } catch (const std::bad_alloc&) {
    traceMessage(L"SciMark2: not enough memory for the kernels' inputs \n");
    for (std::int32_t* destination : {fft, sor, monteCarlo, sparse, lu}) {
      store(destination, 0.0);
    }
    return 0;
  }
  Scores s;
  {
    RaisedThreadPriority raised;
    s = measureAll(*inputs, options);
  }
  traceScores(s);
  const double composite = (s.sor + s.fft + s.monteCarlo + s.sparse + s.lu) / 5;
  traceMessage(L"\n===>Composite Score:    %8.2f\n\n", composite);
  store(fft, s.fft);
  store(sor, s.sor);
  store(monteCarlo, s.monteCarlo);
  store(sparse, s.sparse);
  store(lu, s.lu);
  return roundScore(composite);
}

}  // namespace qdvsetup

std::int32_t Scimark2(std::int32_t* fft, std::int32_t* sor, std::int32_t* monteCarlo,
                      std::int32_t* sparse, std::int32_t* lu) {
  return qdvsetup::runScimark2(qdvsetup::ScimarkOptions{}, fft, sor, monteCarlo, sparse, lu);
}
