// Row kernels of the packed unpackers: a portable scalar form
// and, on x86-64, an SSE2 form (SSE2 is part of the x86-64 baseline, so no
// CPU check is needed). Both give identical results; the tests compare them.
// The SSE2 form exists because the auto-vectoriser does not vectorise these
// 3-to-4 and 20-to-16 byte rearrangements on the baseline instruction set.
#ifndef IMAGING_RAW_UNPACK_KERNELS_H
#define IMAGING_RAW_UNPACK_KERNELS_H

#include <cstdint>

namespace imaging::detail {

// `blocks` 10-bit blocks (20 bytes each) -> 16 * blocks samples.
void Unpack10RowScalar(const uint8_t* in, int64_t blocks, uint16_t* out);
void Unpack10RowSimd(const uint8_t* in, int64_t blocks, uint16_t* out);

// `groups` 12-bit groups (6 bytes each) -> 4 * groups samples. The SIMD form
// reads 14 bytes per two groups, 2 bytes past the groups, so it is
// given `readable`, the bytes readable from `in`; groups that would read
// further are unpacked by the scalar form.
void Unpack12RowScalar(const uint8_t* in, int64_t groups, uint16_t* out);
void Unpack12RowSimd(const uint8_t* in, int64_t groups, int64_t readable, uint16_t* out);

}  // namespace imaging::detail

#endif
