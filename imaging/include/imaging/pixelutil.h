/* Defect-pixel filter, frame averaging, display pixels and memory helpers.
 * Plain functions on caller-owned buffers; none reports an error. */
#ifndef IMAGING_PIXELUTIL_H
#define IMAGING_PIXELUTIL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Pulls isolated outliers back into the range of their row neighbours, in
 * place, row by row. d = 2 when bayer != 0 (same-colour neighbours of a mosaic
 * row), else 1. For 2d <= i <= width - 1 - 2d: a = x[i-d], b = x[i+d],
 * pL = 2a - x[i-2d], pR = 2b - x[i+2d]; lo/hi = min/max of the four; x[i] is
 * clamped into [lo, hi] when lo < hi and kept when lo == hi. All values of a
 * row come from the unfiltered row. The first and last 2d samples of a row
 * never change. Nothing changes when width <= 0 or height <= 0.
 * The classic filter limits rows to its 8192-sample row buffer; here any width
 * is filtered correctly (longer rows are processed in 8192-sample segments). */
void FilterDefectPixels8Bit(uint8_t* frame, int32_t width, int32_t height, int32_t bayer);
void FilterDefectPixels16Bit(uint16_t* frame, int32_t width, int32_t height, int32_t bayer);

/* Frame averaging on a caller's u32 sum per sample (wrapping modulo 2^32).
 * A count <= 0 does nothing. */
void AccumulateFrame8Bit(uint32_t* sum, const uint8_t* frame, int32_t count);
void AccumulateFrame16Bit(uint32_t* sum, const uint16_t* frame, int32_t count);
/* sum[i] = sum[i] + newest[i] - oldest[i]. */
void UpdateFrameSum8Bit(uint32_t* sum, const uint8_t* newest, const uint8_t* oldest, int32_t count);
void UpdateFrameSum16Bit(uint32_t* sum, const uint16_t* newest, const uint16_t* oldest,
                         int32_t count);
/* dst[i] = low 8 (16) bits of sum[i] / divisor (unsigned, rounding down).
 * The divisor must not be 0 (a divisor of 0 does nothing here). */
void DivideFrameSum8Bit(uint8_t* dst, const uint32_t* sum, int32_t count, uint32_t divisor);
void DivideFrameSum16Bit(uint16_t* dst, const uint32_t* sum, int32_t count, uint32_t divisor);

/* Display pixels: count grey samples, or count B, G, R pixels (3 bytes
 * each), to opaque 32-bit pixels (B, G, R, 0xff in memory). Nothing beyond
 * the count source pixels is read; a count <= 0 does nothing. */
void ConvertGreyToRGB32(const uint8_t* grey, uint32_t* dst, int64_t count);
void ConvertBGR24ToRGB32(const uint8_t* bgr, uint32_t* dst, int64_t count);

/* One fixed block of size bytes (64-byte aligned, content undefined), or NULL
 * when memory cannot be had. The block's pages are populated at once, so
 * that a shortage shows here, not at first use. */
void* ImageAlloc(size_t size);
/* Frees a block from ImageAlloc: NULL when freed (and for NULL), else the
 * pointer. */
void* ImageFree(void* block);
/* One block of size bytes as ImageAlloc gives it, except that its pages are
 * not made ready: nothing of the block is touched until ImagePrepare makes
 * its pages ready (or the caller writes to it). Freed with ImageFree. NULL
 * when the address space cannot be had. */
void* ImageReserve(size_t size);
/* Makes the pages holding bytes [offset, offset + length) of a block from
 * ImageReserve or ImageAlloc ready; 1 when done, 0 when the system cannot
 * give them (the bytes must then not be touched). */
int ImagePrepare(void* block, size_t offset, size_t length);
/* count zero bytes upward from p. */
void ZeroBytes(void* p, uint32_t count);
/* Copies count bytes one at a time from the lowest address upward (so an
 * overlapping destination above the source repeats the source's start). */
void CopyBytes(void* dst, const void* src, uint32_t count);

#ifdef __cplusplus
}
#endif

#endif
