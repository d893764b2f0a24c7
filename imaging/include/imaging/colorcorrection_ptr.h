// Ownership of a colour-correction object for C++ callers: the object is
// freed (with FreeColorCorrection) when its owner goes, on every path.
#ifndef IMAGING_COLORCORRECTION_PTR_H
#define IMAGING_COLORCORRECTION_PTR_H

#include <memory>

#include "imaging/colorcorrection.h"

struct ColorCorrectionDeleter {
  void operator()(ColorCorrection* cc) const { FreeColorCorrection(cc); }
};

using ColorCorrectionPtr = std::unique_ptr<ColorCorrection, ColorCorrectionDeleter>;

// A new object with identity settings; null when its memory cannot be had.
inline ColorCorrectionPtr MakeColorCorrection() {
  return ColorCorrectionPtr(CreateColorCorrection());
}

#endif
