// The apply loops of the colour correction, each instruction set's in a file
// of its own compiled with that set's flags: the portable loops
// (colorcorrection_portable.cpp), which the vector loops also call for the
// pixels of a step that is not current and for an image's last pixels, and
// the AVX2 and AVX-512 loops (colorcorrection_avx2.cpp,
// colorcorrection_avx512.cpp), called only where the processor has them.
// Each serves n pixels at p in place.
#ifndef IMAGING_COLORCORRECTION_LOOPS_H
#define IMAGING_COLORCORRECTION_LOOPS_H

#include <cstddef>
#include <cstdint>

#include "imaging/src/colorcorrection_cube.h"

namespace imaging::cc {

// kShared: the parts of one call run in several threads (see LoadEntry).
template <bool kShared>
void Apply24(ColorCorrection& c, uint8_t* p, size_t n);
template <bool kShared>
void Apply32(ColorCorrection& c, uint8_t* p, size_t n);
template <bool kShared>
void Apply24Avx2(ColorCorrection& c, uint8_t* p, size_t n);
template <bool kShared>
void Apply32Avx2(ColorCorrection& c, uint8_t* p, size_t n);
template <bool kShared>
void Apply24Avx512(ColorCorrection& c, uint8_t* p, size_t n);
template <bool kShared>
void Apply32Avx512(ColorCorrection& c, uint8_t* p, size_t n);

}  // namespace imaging::cc

#endif
