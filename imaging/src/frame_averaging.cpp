// Frame averaging on a caller's u32 sum per sample. Additions and
// subtractions wrap modulo 2^32; a count <= 0 does nothing.
#include <cstddef>
#include <cstdint>

#include "imaging/pixelutil.h"

namespace {

template <class Sample>
void Accumulate(uint32_t* __restrict sum, const Sample* __restrict frame, int32_t count) {
  for (ptrdiff_t i = 0; i < count; ++i) sum[i] += frame[i];
}

template <class Sample>
void Update(uint32_t* __restrict sum, const Sample* __restrict newest,
            const Sample* __restrict oldest, int32_t count) {
  for (ptrdiff_t i = 0; i < count; ++i)
    sum[i] = sum[i] + static_cast<uint32_t>(newest[i]) - static_cast<uint32_t>(oldest[i]);
}

template <class Sample>
void Divide(Sample* __restrict dst, const uint32_t* __restrict sum, int32_t count,
            uint32_t divisor) {
  if (divisor == 0) return;  // the caller's duty; refused rather than a fault
  for (ptrdiff_t i = 0; i < count; ++i) dst[i] = static_cast<Sample>(sum[i] / divisor);
}

}  // namespace

extern "C" void AccumulateFrame8Bit(uint32_t* sum, const uint8_t* frame, int32_t count) {
  Accumulate(sum, frame, count);
}
extern "C" void AccumulateFrame16Bit(uint32_t* sum, const uint16_t* frame, int32_t count) {
  Accumulate(sum, frame, count);
}
extern "C" void UpdateFrameSum8Bit(uint32_t* sum, const uint8_t* newest, const uint8_t* oldest,
                                   int32_t count) {
  Update(sum, newest, oldest, count);
}
extern "C" void UpdateFrameSum16Bit(uint32_t* sum, const uint16_t* newest, const uint16_t* oldest,
                                    int32_t count) {
  Update(sum, newest, oldest, count);
}
extern "C" void DivideFrameSum8Bit(uint8_t* dst, const uint32_t* sum, int32_t count,
                                   uint32_t divisor) {
  Divide(dst, sum, count, divisor);
}
extern "C" void DivideFrameSum16Bit(uint16_t* dst, const uint32_t* sum, int32_t count,
                                    uint32_t divisor) {
  Divide(dst, sum, count, divisor);
}
