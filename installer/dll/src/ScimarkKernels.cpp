#include "installer/dll/src/ScimarkKernels.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdlib>

#include "installer/dll/src/Trace.h"

namespace qdvsetup {
namespace {

constexpr int kModulus = 2147483647;  // 2^31 - 1
constexpr int kHalfWord = 65536;      // 2^16
constexpr int kMultiplier = 9069;
constexpr double kInverseModulus = 1.0 / kModulus;
constexpr int kMonteCarloSeed = 113;
constexpr double kPi = 3.1415926535897932;

// log2 of n, or -1 (traced) when n is not a power of two.
int intLog2(int n) {
  int log = 0;
  for (int k = 1; k < n; k *= 2) {
    ++log;
  }
  if (n != (1 << log)) {
    traceMessage(L"FFT: Data length is not a power of 2!: %d\n", n);
    return -1;
  }
  return log;
}

// Goldberg's bit-reversal permutation of the n2 / 2 complex values.
void fftBitReverse(int n2, double* data) {
  const int n = n2 / 2;
  for (int i = 0, j = 0; i < n - 1; ++i) {
    const int ii = i << 1;
    const int jj = j << 1;
    int k = n >> 1;
    if (i < j) {
      const double tmpReal = data[ii];
      const double tmpImag = data[ii + 1];
      data[ii] = data[jj];
      data[ii + 1] = data[jj + 1];
      data[jj] = tmpReal;
      data[jj + 1] = tmpImag;
    }
    while (k <= j) {
      j -= k;
      k >>= 1;
    }
    j += k;
  }
}

// Decimation in time; the twiddle factors by trigonometric recurrence.
void fftTransformInternal(int n2, double* data, int direction) {
  const int n = n2 / 2;
  if (n == 1) {
    return;
  }
  const int logn = intLog2(n);
  if (logn < 0) {
    return;
  }
  fftBitReverse(n2, data);
  int dual = 1;
  for (int bit = 0; bit < logn; ++bit, dual *= 2) {
    double wReal = 1.0;
    double wImag = 0.0;
    const double theta = 2.0 * direction * kPi / (2.0 * static_cast<double>(dual));
    const double s = std::sin(theta);
    const double t = std::sin(theta / 2.0);
    const double s2 = 2.0 * t * t;

    for (int b = 0; b < n; b += 2 * dual) {
      const int i = 2 * b;
      const int j = 2 * (b + dual);
      const double wdReal = data[j];
      const double wdImag = data[j + 1];
      data[j] = data[i] - wdReal;
      data[j + 1] = data[i + 1] - wdImag;
      data[i] += wdReal;
      data[i + 1] += wdImag;
    }
    for (int a = 1; a < dual; ++a) {
      const double tmpReal = wReal - s * wImag - s2 * wReal;
      const double tmpImag = wImag + s * wReal - s2 * wImag;
      wReal = tmpReal;
      wImag = tmpImag;
      for (int b = 0; b < n; b += 2 * dual) {
        const int i = 2 * (b + a);
        const int j = 2 * (b + a + dual);
        const double z1Real = data[j];
        const double z1Imag = data[j + 1];
        const double wdReal = wReal * z1Real - wImag * z1Imag;
        const double wdImag = wReal * z1Imag + wImag * z1Real;
        data[j] = data[i] - wdReal;
        data[j + 1] = data[i + 1] - wdImag;
        data[i] += wdReal;
        data[i + 1] += wdImag;
      }
    }
  }
}

}  // namespace

Matrix::Matrix(int rows, int columns)
    : columns_(columns),
      storage_(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns)),
      rows_(static_cast<std::size_t>(rows)) {
  assert(rows > 0 && columns > 0);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    rows_[i] = storage_.data() + i * static_cast<std::size_t>(columns);
  }
}

void Matrix::copyFrom(const Matrix& source) {
  assert(source.rows_.size() == rows_.size() && source.columns_ == columns_);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    std::copy(source.rows_[i], source.rows_[i] + columns_, rows_[i]);
  }
}

ScimarkRandom::ScimarkRandom(int seed) {
  if (seed < 0) {
    seed = -seed;
  }
  int jseed = seed < kModulus ? seed : kModulus;
  if (jseed % 2 == 0) {
    --jseed;
  }
  const int k0 = kMultiplier % kHalfWord;
  const int k1 = kMultiplier / kHalfWord;
  int j0 = jseed % kHalfWord;
  int j1 = jseed / kHalfWord;
  for (int& word : m_) {
    jseed = j0 * k0;
    j1 = (jseed / kHalfWord + j0 * k1 + j1 * k0) % (kHalfWord / 2);
    j0 = jseed % kHalfWord;
    word = j0 + kHalfWord * j1;
  }
}

double ScimarkRandom::nextDouble() {
  int k = m_[i_] - m_[j_];
  if (k < 0) {
    k += kModulus;
  }
  m_[j_] = k;
  i_ = i_ == 0 ? 16 : i_ - 1;
  j_ = j_ == 0 ? 16 : j_ - 1;
  return kInverseModulus * static_cast<double>(k);
}

void fftTransform(int n2, double* data) { fftTransformInternal(n2, data, -1); }

void fftInverse(int n2, double* data) {
  fftTransformInternal(n2, data, +1);
  const double norm = 1 / static_cast<double>(n2 / 2);
  for (int i = 0; i < n2; ++i) {
    data[i] *= norm;
  }
}

void sorExecute(int m, int n, double omega, double* const* g, std::uint64_t iterations) {
  assert(m >= 2 && n >= 2);
  const double omegaOverFour = omega * 0.25;
  const double oneMinusOmega = 1.0 - omega;
  for (std::uint64_t p = 0; p < iterations; ++p) {
    for (int i = 1; i < m - 1; ++i) {
      double* gi = g[i];
      const double* gim1 = g[i - 1];
      const double* gip1 = g[i + 1];
      for (int j = 1; j < n - 1; ++j) {
        gi[j] = omegaOverFour * (gim1[j] + gip1[j] + gi[j - 1] + gi[j + 1]) + oneMinusOmega * gi[j];
      }
    }
  }
}

double monteCarloIntegrate(std::uint64_t samples) {
  ScimarkRandom random(kMonteCarloSeed);
  std::uint64_t underCurve = 0;
  for (std::uint64_t count = 0; count < samples; ++count) {
    const double x = random.nextDouble();
    const double y = random.nextDouble();
    if (x * x + y * y <= 1.0) {
      ++underCurve;
    }
  }
  return (static_cast<double>(underCurve) / static_cast<double>(samples)) * 4.0;
}

void sparseMatmult(int m, double* y, const double* val, const int* row, const int* col,
                   const double* x, std::uint64_t iterations) {
  for (std::uint64_t reps = 0; reps < iterations; ++reps) {
    for (int r = 0; r < m; ++r) {
      double sum = 0.0;
      for (int i = row[r]; i < row[r + 1]; ++i) {
        sum += x[col[i]] * val[i];
      }
      y[r] = sum;
    }
  }
}

int luFactor(int m, int n, double** a, int* pivot) {
  const int minMN = m < n ? m : n;
  for (int j = 0; j < minMN; ++j) {
    // The largest magnitude in column j on or below the diagonal.
    int jp = j;
    double t = std::fabs(a[j][j]);
    for (int i = j + 1; i < m; ++i) {
      const double ab = std::fabs(a[i][j]);
      if (ab > t) {
        jp = i;
        t = ab;
      }
    }
    pivot[j] = jp;
    if (a[jp][j] == 0) {
      return 1;
    }
    if (jp != j) {
      double* row = a[j];
      a[j] = a[jp];
      a[jp] = row;
    }
    if (j < m - 1) {
      const double recp = 1.0 / a[j][j];
      for (int k = j + 1; k < m; ++k) {
        a[k][j] *= recp;
      }
    }
    if (j < minMN - 1) {
      // Rank-1 update of the trailing submatrix.
      for (int ii = j + 1; ii < m; ++ii) {
        double* aii = a[ii];
        const double* aj = a[j];
        const double aiiJ = aii[j];
        for (int jj = j + 1; jj < n; ++jj) {
          aii[jj] -= aiiJ * aj[jj];
        }
      }
    }
  }
  return 0;
}

double fftFlops(int n, std::uint64_t cycles) {
  const double nd = n;
  const double logN = intLog2(n);
  return ((5.0 * nd - 2) * logN + 2 * (nd + 1)) * static_cast<double>(cycles);
}

double sorFlops(int m, int n, std::uint64_t cycles) {
  const double md = m;
  const double nd = n;
  return (md - 1) * (nd - 1) * static_cast<double>(cycles) * 6.0;
}

double monteCarloFlops(std::uint64_t cycles) { return static_cast<double>(cycles) * 4.0; }

double sparseFlops(int n, int nz, std::uint64_t cycles) {
  const int actualNz = (nz / n) * n;
  return static_cast<double>(actualNz) * 2.0 * static_cast<double>(cycles);
}

double luFlops(int n, std::uint64_t cycles) {
  const double nd = n;
  return (2.0 * nd * nd * nd / 3.0) * static_cast<double>(cycles);
}

}  // namespace qdvsetup
