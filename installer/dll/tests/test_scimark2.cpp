// SciMark 2.0's kernels agree bit for bit with the published benchmark built
// with our flags (the expected values come from it); the measuring loop,
// rounding, priority handling and trace of the Scimark2 export.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

#include "QDVsetup.h"
#include "installer/dll/src/Scimark2.h"
#include "installer/dll/src/ScimarkKernels.h"
#include "installer/dll/tests/support_faketree.h"

namespace qdvsetup {
namespace {

// The five kernel lines and the composite line, in order; returns the scores
// they show (FFT, SOR, Monte Carlo, sparse, LU, composite).
std::vector<double> tracedScores(const std::string& trace) {
  const std::regex report(
      "^\nSciMark2 start \\.\\.\\. \n(?:.*\n)*"
      "FFT             Mflops: +([0-9.]+)  \\(N=1024\\)\n"
      "SOR             Mflops: +([0-9.]+)  \\(100 x 100\\)\n"
      "MonteCarlo:     Mflops: +([0-9.]+)\n"
      "Sparse matmult  Mflops: +([0-9.]+)  \\(N=1000, nz=5000\\)\n"
      "LU              Mflops: +([0-9.]+)  \\(M=100, N=100\\)\n"
      "\n===>Composite Score: +([0-9.]+)\n\n$");
  std::smatch m;
  if (!std::regex_match(trace, m, report)) {
    return {};
  }
  std::vector<double> scores;
  for (std::size_t i = 1; i < m.size(); ++i) {
    scores.push_back(std::stod(m[i]));
  }
  return scores;
}

TEST(ScimarkKernels, GeneratorAndInputDrawOrder) {
  ScimarkRandom random(kScimarkSeed);
  EXPECT_EQ(random.nextDouble(), 0.33525962398166753);
  EXPECT_EQ(random.nextDouble(), 0.69724724427668716);
  EXPECT_EQ(random.nextDouble(), 0.97184885291934431);

  ScimarkRandom shared(kScimarkSeed);
  auto inputs = std::make_unique<ScimarkInputs>(shared);  // 28,048 draws
  EXPECT_EQ(shared.nextDouble(), 0.21687530084367623);
}

TEST(ScimarkKernels, ResultsOfEachKernel) {
  EXPECT_EQ(monteCarloIntegrate(1024), 3.171875);
  EXPECT_EQ(monteCarloIntegrate(1000000), 3.139796);

  ScimarkRandom random(kScimarkSeed);
  auto in = std::make_unique<ScimarkInputs>(random);
  const std::vector<double> original = in->fft;
  fftTransform(2 * kFftSize, in->fft.data());
  EXPECT_EQ(in->fft[0], 526.0520079676304);
  fftInverse(2 * kFftSize, in->fft.data());
  for (std::size_t i = 0; i < original.size(); ++i) {
    ASSERT_NEAR(in->fft[i], original[i], 2e-15) << i;
  }

  sorExecute(kSorSize, kSorSize, kSorOmega, in->sor.rows(), 1);
  EXPECT_EQ(in->sor[50][50], 0.76238193620471362);

  sparseMatmult(kSparseRows, in->sparseY.data(), in->sparseValues.data(), in->sparseRow.data(),
                in->sparseColumn.data(), in->sparseX.data(), 1);
  EXPECT_EQ(in->sparseY[999], 1.509838496071028);

  in->lu.copyFrom(in->luSource);
  ASSERT_EQ(luFactor(kLuSize, kLuSize, in->lu.rows(), in->pivot.data()), 0);
  EXPECT_EQ(std::vector<int>(in->pivot.begin(), in->pivot.begin() + 5),
            (std::vector<int>{93, 14, 96, 33, 59}));
  EXPECT_EQ(in->lu[99][99], 0.57678108451019749);
}

TEST(ScimarkKernels, FlopCounts) {
  const std::uint64_t big = std::uint64_t{1} << 40;
  const double scale = std::ldexp(1.0, 40);
  struct Case {
    double perCycle, atBig, expected;
  } cases[] = {
      {fftFlops(kFftSize, 1), fftFlops(kFftSize, big), 53230.0},
      {sorFlops(kSorSize, kSorSize, 1), sorFlops(kSorSize, kSorSize, big), 58806.0},
      {monteCarloFlops(1), monteCarloFlops(big), 4.0},
      {sparseFlops(kSparseRows, kSparseNonZeros, 1), sparseFlops(kSparseRows, kSparseNonZeros, big),
       10000.0},
      {luFlops(kLuSize, 1), luFlops(kLuSize, big), 2000000.0 / 3.0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.perCycle, c.expected);
    EXPECT_EQ(c.atBig, c.expected * scale);
  }
}

// A clock that moves only when the kernel runs: 0.125 s a cycle.
TEST(ScimarkMeasure, LeavesAtFirstTimeOfMinimumOrMore) {
  double now = 0.0;
  Stopwatch stopwatch([&] { return now; });
  std::vector<std::uint64_t> runs;
  const Measurement m = measureKernel(
      [&](std::uint64_t cycles) {
        runs.push_back(cycles);
        now += 0.125 * static_cast<double>(cycles);
      },
      stopwatch, 0.5);
  EXPECT_EQ(runs, (std::vector<std::uint64_t>{1, 2, 4}));
  EXPECT_EQ(m.cycles, 4u);
  EXPECT_EQ(m.seconds, 0.5);
  EXPECT_EQ(mflops(4e6, m), 8.0);
}

TEST(ScimarkMeasure, FrozenClockGivesUpWithZero) {
  Stopwatch stopwatch([] { return 42.0; });
  int runs = 0;
  std::uint64_t last = 0;
  const Measurement m = measureKernel(
      [&](std::uint64_t cycles) {
        ++runs;
        last = cycles;
      },
      stopwatch, 0.5);
  EXPECT_EQ(runs, 41);
  EXPECT_EQ(last, kMaxScimarkCycles);
  EXPECT_EQ(m.cycles, 0u);
  EXPECT_EQ(mflops(monteCarloFlops(m.cycles), m), 0.0);
}

TEST(ScimarkMeasure, ScoresRoundHalfToEvenAndClamp) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<double, std::int32_t> cases[] = {
      {2.5, 2},           {3.5, 4},          {2.49, 2},
      {0.5, 0},           {-3.0, 0},         {inf, 0},
      {-inf, 0},          {std::nan(""), 0}, {2147483646.6, 2147483647},
      {1e12, 2147483647},
  };
  for (const auto& [score, rounded] : cases) {
    EXPECT_EQ(roundScore(score), rounded) << score;
  }
  EXPECT_EQ(mflops(1.0, Measurement{1, 0.0}), 0.0);  // no time measured: not finite
}

TEST(Scimark2Run, NullPointersStillMeasureAndTrace) {
  faketree::TraceCapture trace;
  const std::int32_t composite =
      runScimark2({0.001, steadySeconds}, nullptr, nullptr, nullptr, nullptr, nullptr);
  const std::string text = trace.finish();
  const std::vector<double> scores = tracedScores(text);
  ASSERT_EQ(scores.size(), 6u) << text;
  EXPECT_GT(composite, 0);
  EXPECT_NEAR(composite, scores[5], 0.51);
  for (double score : scores) {
    EXPECT_GT(score, 0.0);
  }
}

// The nice value of /proc/self/task/<tid>/stat (its 19th field).
int niceOf(pid_t thread) {
  std::ifstream in("/proc/self/task/" + std::to_string(thread) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));  // after the command name
  std::string field;
  for (int i = 3; i <= 19; ++i) {
    fields >> field;
  }
  return std::stoi(field);
}

// A thread at nice 19 measures at -10 when it may raise its priority (as
// root), else as it is; one already above -10 stays there. Each is back at
// its own value afterwards.
TEST(Scimark2Run, RaisesThisThreadsPriorityAndRestoresIt) {
  const bool root = geteuid() == 0;
  struct Case {
    int before, during;
  } cases[] = {{19, root ? -10 : 19}, {-15, -15}};
  for (const Case& c : cases) {
    if (c.before < 0 && !root) {
      continue;  // only root may start above normal priority
    }
    int during = 0, after = 0;
    std::thread worker([&] {
      const pid_t self = gettid();
      ASSERT_EQ(setpriority(PRIO_PROCESS, static_cast<id_t>(self), c.before), 0);
      ScimarkOptions options{0.001, [&] {
                               during = niceOf(self);
                               return steadySeconds();
                             }};
      runScimark2(options, nullptr, nullptr, nullptr, nullptr, nullptr);
      after = niceOf(self);
    });
    worker.join();
    EXPECT_EQ(during, c.during) << c.before;
    EXPECT_EQ(after, c.before);
  }
}

struct LibraryCloser {
  void operator()(void* handle) const { dlclose(handle); }
};

// The export itself, as an installer calls it: at least 0.5 s per kernel.
TEST(Scimark2Export, StoresEachScoreAndReturnsComposite) {
  std::unique_ptr<void, LibraryCloser> library(dlopen(QDVSETUP_LIBRARY, RTLD_NOW | RTLD_LOCAL));
  ASSERT_TRUE(library) << dlerror();
  auto* scimark2 = reinterpret_cast<decltype(&Scimark2)>(dlsym(library.get(), "Scimark2"));
  ASSERT_NE(scimark2, nullptr);
  std::int32_t kernels[5] = {-1, -1, -1, -1, -1};
  faketree::TraceCapture trace;
  const std::int32_t composite =
      scimark2(&kernels[0], &kernels[1], &kernels[2], &kernels[3], &kernels[4]);
  const std::vector<double> traced = tracedScores(trace.finish());
  ASSERT_EQ(traced.size(), 6u);
  double sum = 0.0;
  for (int i = 0; i < 5; ++i) {
    EXPECT_GT(kernels[i], 0) << i;
    EXPECT_NEAR(kernels[i], traced[i], 0.51) << i;
    sum += kernels[i];
  }
  EXPECT_NEAR(composite, sum / 5, 1.0);
}

}  // namespace
}  // namespace qdvsetup
