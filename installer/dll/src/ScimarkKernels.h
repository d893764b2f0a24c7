// The five floating-point kernels of the SciMark 2.0 benchmark, its random
// number generator and its flop counts, kept as the benchmark defines them so
// that scores compare with its published ones (and results agree bit for bit).
#pragma once

#include <cstdint>
#include <vector>

namespace qdvsetup {

// A matrix as an array of row pointers into one block, the form the kernels
// take: LU swaps rows by swapping their pointers.
class Matrix {
 public:
  Matrix(int rows, int columns);
  Matrix(const Matrix&) = delete;
  Matrix& operator=(const Matrix&) = delete;
  double** rows() { return rows_.data(); }
  double* operator[](int i) { return rows_[static_cast<std::size_t>(i)]; }
  const double* operator[](int i) const { return rows_[static_cast<std::size_t>(i)]; }
  // Copies the source's rows into this matrix's rows, row i to row i.
  void copyFrom(const Matrix& source);

 private:
  int columns_;
  std::vector<double> storage_;
  std::vector<double*> rows_;
};

// SciMark's lagged subtractive generator: 17 words, lags at indices 4 and
// 16, modulus 2^31 - 1, seeded through the multiplier 9069. An even seed is
// made odd by subtracting 1.
class ScimarkRandom {
 public:
  explicit ScimarkRandom(int seed);
  // The next value in [0, 1).
  double nextDouble();

 private:
  int m_[17];
  int i_ = 4;
  int j_ = 16;
};

// In-place complex transforms of data[0 .. n2), n2 / 2 interleaved (real,
// imaginary) values, a power of two. The inverse divides by n2 / 2.
void fftTransform(int n2, double* data);
void fftInverse(int n2, double* data);

// Successive over-relaxation sweeps over the inner points of the M x N grid g.
void sorExecute(int m, int n, double omega, double* const* g, std::uint64_t iterations);

// pi by integration of the quarter circle with `samples` point pairs of a
// generator seeded 113 afresh.
double monteCarloIntegrate(std::uint64_t samples);

// y := A x `iterations` times, A an M-row matrix in compressed-row form.
void sparseMatmult(int m, double* y, const double* val, const int* row, const int* col,
                   const double* x, std::uint64_t iterations);

// LU factorisation with partial pivoting in place; rows are swapped by their
// pointers. Returns 1 for a zero pivot, else 0.
int luFactor(int m, int n, double** a, int* pivot);

// Flops of `cycles` runs of each kernel, by SciMark's formulas.
double fftFlops(int n, std::uint64_t cycles);
double sorFlops(int m, int n, std::uint64_t cycles);
double monteCarloFlops(std::uint64_t cycles);
double sparseFlops(int n, int nz, std::uint64_t cycles);
double luFlops(int n, std::uint64_t cycles);

}  // namespace qdvsetup
