/* Histogram builders and white-balance ratios.
 *
 * Histograms (HistogramBins): arrays of u32 counts, 256 bins for 8-bit data,
 * 1024 for 10-bit and 4096 for 12-bit data; bin v counts the samples of value
 * v. Every builder clears all bins of every array it is given before it
 * counts. Three-array builders take the arrays in the order R, G, B.
 *
 * 10- and 12-bit samples are taken by their low 10 or 12 bits (the bits that
 * carry the value), so a sample at or above the bin count is counted in the
 * bin of those low bits and never outside the array.
 *
 * Bayer builders and white-balance members split a frame into 2 x 2 cells
 * (height / 2 rows of width / 2 cells; an odd last row or column is not
 * counted) and come in the phase order GRBG, GBRG, RGGB, BGGR.
 *
 * White balance (WhiteBalanceRatios): gOverR = green sum / red sum and
 * gOverB = green sum / blue sum; a ratio whose divisor sum is zero (or that
 * had nothing to sum) is -1.0. Bayer members halve the green sum (integer
 * shift) because each cell holds two green sites. Sums are kept in 64 bits,
 * so no frame size makes them wrap.
 */
#ifndef IMAGING_HISTOGRAM_H
#define IMAGING_HISTOGRAM_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Single-array builders: count the first `count` samples. */
void Histogram8Bit(const uint8_t* src, int32_t count, uint32_t* bins);
void Histogram10Bit(const uint16_t* src, int32_t count, uint32_t* bins);
void Histogram12Bit(const uint16_t* src, int32_t count, uint32_t* bins);

/* Bayer builders: Raw8Frame or Raw16Frame of width x height samples. */
void HistogramBayer8Bit_GRBG(const uint8_t* src, int32_t width, int32_t height, uint32_t* r,
                             uint32_t* g, uint32_t* b);
void HistogramBayer8Bit_GBRG(const uint8_t* src, int32_t width, int32_t height, uint32_t* r,
                             uint32_t* g, uint32_t* b);
void HistogramBayer8Bit_RGGB(const uint8_t* src, int32_t width, int32_t height, uint32_t* r,
                             uint32_t* g, uint32_t* b);
void HistogramBayer8Bit_BGGR(const uint8_t* src, int32_t width, int32_t height, uint32_t* r,
                             uint32_t* g, uint32_t* b);
void HistogramBayer10Bit_GRBG(const uint16_t* src, int32_t width, int32_t height, uint32_t* r,
                              uint32_t* g, uint32_t* b);
void HistogramBayer10Bit_GBRG(const uint16_t* src, int32_t width, int32_t height, uint32_t* r,
                              uint32_t* g, uint32_t* b);
void HistogramBayer10Bit_RGGB(const uint16_t* src, int32_t width, int32_t height, uint32_t* r,
                              uint32_t* g, uint32_t* b);
void HistogramBayer10Bit_BGGR(const uint16_t* src, int32_t width, int32_t height, uint32_t* r,
                              uint32_t* g, uint32_t* b);
void HistogramBayer12Bit_GRBG(const uint16_t* src, int32_t width, int32_t height, uint32_t* r,
                              uint32_t* g, uint32_t* b);
void HistogramBayer12Bit_GBRG(const uint16_t* src, int32_t width, int32_t height, uint32_t* r,
                              uint32_t* g, uint32_t* b);
void HistogramBayer12Bit_RGGB(const uint16_t* src, int32_t width, int32_t height, uint32_t* r,
                              uint32_t* g, uint32_t* b);
void HistogramBayer12Bit_BGGR(const uint16_t* src, int32_t width, int32_t height, uint32_t* r,
                              uint32_t* g, uint32_t* b);

/* RGB builders: count the first `count` pixels (width x height). */
void HistogramRGB24(const uint8_t* src, int32_t count, uint32_t* r, uint32_t* g, uint32_t* b);
void HistogramRGB32(const uint8_t* src, int32_t count, uint32_t* r, uint32_t* g, uint32_t* b);
void HistogramRGB48_10Bit(const uint16_t* src, int32_t count, uint32_t* r, uint32_t* g,
                          uint32_t* b);
void HistogramRGB64_10Bit(const uint16_t* src, int32_t count, uint32_t* r, uint32_t* g,
                          uint32_t* b);
void HistogramRGB48_12Bit(const uint16_t* src, int32_t count, uint32_t* r, uint32_t* g,
                          uint32_t* b);
void HistogramRGB64_12Bit(const uint16_t* src, int32_t count, uint32_t* r, uint32_t* g,
                          uint32_t* b);

/* White balance of the first `count` pixels of an RGB image. */
void WhiteBalanceRGB24(const uint8_t* src, int32_t count, double* gOverR, double* gOverB);
void WhiteBalanceRGB32(const uint8_t* src, int32_t count, double* gOverR, double* gOverB);
void WhiteBalanceRGB48(const uint16_t* src, int32_t count, double* gOverR, double* gOverB);
void WhiteBalanceRGB64(const uint16_t* src, int32_t count, double* gOverR, double* gOverB);

/* White balance of a Bayer frame; the 16-bit members serve 10- and 12-bit
 * frames alike. */
void WhiteBalanceBayer8Bit_GRBG(const uint8_t* src, int32_t width, int32_t height, double* gOverR,
                                double* gOverB);
void WhiteBalanceBayer8Bit_GBRG(const uint8_t* src, int32_t width, int32_t height, double* gOverR,
                                double* gOverB);
void WhiteBalanceBayer8Bit_RGGB(const uint8_t* src, int32_t width, int32_t height, double* gOverR,
                                double* gOverB);
void WhiteBalanceBayer8Bit_BGGR(const uint8_t* src, int32_t width, int32_t height, double* gOverR,
                                double* gOverB);
void WhiteBalanceBayer16Bit_GRBG(const uint16_t* src, int32_t width, int32_t height, double* gOverR,
                                 double* gOverB);
void WhiteBalanceBayer16Bit_GBRG(const uint16_t* src, int32_t width, int32_t height, double* gOverR,
                                 double* gOverB);
void WhiteBalanceBayer16Bit_RGGB(const uint16_t* src, int32_t width, int32_t height, double* gOverR,
                                 double* gOverB);
void WhiteBalanceBayer16Bit_BGGR(const uint16_t* src, int32_t width, int32_t height, double* gOverR,
                                 double* gOverB);

/* Channel gains from the ratios gOverR and gOverB: gains[0..2] receive the
 * red, green and blue gains gOverR / n, 1 / n and gOverB / n, where
 * n = 0.3 gOverR + 0.59 + 0.11 gOverB, so that the luminance
 * 0.3 R + 0.59 G + 0.11 B keeps its level. Returns 1; returns 0 and leaves
 * gains untouched unless both ratios are positive (a channel without signal
 * gives no balance). */
int32_t WhiteBalanceGains(double gOverR, double gOverB, double* gains);

#ifdef __cplusplus
}
#endif

#endif
