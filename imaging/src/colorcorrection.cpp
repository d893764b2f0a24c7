// The colour-correction object's C interface, and the choice and split of
// the apply loops: the vector loops of the widest instruction set the
// processor has, parts of large images in the object's worker threads.
// See colorcorrection_cube.h for the cube and its stamps.
#include "imaging/colorcorrection.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/pixelutil.h"
#include "imaging/src/colorcorrection_cube.h"
#include "imaging/src/colorcorrection_loops.h"
#include "imaging/src/colorcorrection_workers.h"
#include "imaging/src/cpu_features.h"

using namespace imaging::cc;

namespace {

void StoreGains(ColorCorrection& c, double gainR, double offsetR, double gainG, double offsetG,
                double gainB, double offsetB) {
  c.GainR = gainR;
  c.OffsetR = offsetR;
  c.GainG = gainG;
  c.OffsetG = offsetG;
  c.GainB = gainB;
  c.OffsetB = offsetB;
}

void StoreHSL(ColorCorrection& c, double hueShift, double saturationGain, double lightnessGain,
              double lightnessOffset) {
  c.HueShift = hueShift;
  c.SaturationGain = saturationGain;
  c.LightnessGain = lightnessGain;
  c.LightnessOffset = lightnessOffset;
}

// The vector loops run where the processor has them and the process-wide
// vector ceiling (lowered by tests and benchmarks) allows them.
bool UseAvx512() {
  return imaging::cpu::ActiveVectors() == imaging::cpu::Vectors::kAvx512 &&
         imaging::cpu::HasAvx512Vbmi();
}
bool UseAvx2() { return imaging::cpu::ActiveVectors() >= imaging::cpu::Vectors::kAvx2; }

// Smaller images are served by the caller alone: waking the workers would
// cost more than it saves.
constexpr size_t kPixelsPerPart = size_t{1} << 16;
// A call is served in chunks that the caller and the workers take in turn
// (64 for a 1920 x 1080 frame); chunks start on whole vector steps.
constexpr size_t kChunkPixels = size_t{1} << 15;
static_assert(kChunkPixels % 16 == 0);

using ApplyLoop = void (*)(ColorCorrection&, uint8_t*, size_t);

struct ApplyJob {
  ColorCorrection* cc;
  uint8_t* image;
  size_t pixels;
  size_t step;  // bytes per pixel
  ApplyLoop loop;
  std::atomic<size_t> nextChunk{0};
};

// The loop for a pixel step: AVX-512 or AVX2 where it may run, else
// portable.
template <size_t kStep, bool kShared>
ApplyLoop Loop() {
  if constexpr (kStep == 3) {
    return UseAvx512() ? Apply24Avx512<kShared>
           : UseAvx2() ? Apply24Avx2<kShared>
                       : Apply24<kShared>;
  } else {
    return UseAvx512() ? Apply32Avx512<kShared>
           : UseAvx2() ? Apply32Avx2<kShared>
                       : Apply32<kShared>;
  }
}

void ApplyPart(void* job) {
  ApplyJob& j = *static_cast<ApplyJob*>(job);
  for (;;) {
    const size_t begin = j.nextChunk.fetch_add(1, std::memory_order_relaxed) * kChunkPixels;
    if (begin >= j.pixels) return;
    const size_t end = std::min(j.pixels, begin + kChunkPixels);
    j.loop(*j.cc, j.image + begin * j.step, end - begin);
  }
}

template <size_t kStep>
int32_t Apply(ColorCorrection* cc, uint8_t* image, int32_t width, int32_t height) {
  if (cc == nullptr) return 0;
  const int64_t n = int64_t{width} * height;
  if (n <= 0) return 1;
  const size_t pixels = static_cast<size_t>(n);
  ApplyWorkers* workers = pixels >= 2 * kPixelsPerPart ? WorkersOf(cc) : nullptr;
  if (workers != nullptr) {
    ApplyJob job{cc, image, pixels, kStep, Loop<kStep, true>(), {}};
    workers->Run(ApplyPart, &job);
  } else {
    Loop<kStep, false>()(*cc, image, pixels);
  }
  return 1;
}

}  // namespace

extern "C" {

ColorCorrection* CreateColorCorrection(void) {
  void* block = ImageAlloc(sizeof(ColorCorrection));  // content undefined
  if (block == nullptr) return nullptr;
  auto* cc = static_cast<ColorCorrection*>(block);
  FillIdentity(*cc);
  std::memset(reinterpret_cast<unsigned char*>(cc) + offsetof(ColorCorrection, Mode), 0,
              sizeof(ColorCorrection) - offsetof(ColorCorrection, Mode));
  cc->Mode = CorrectionGainHSL;
  for (int k = 0; k < 12; ++k) cc->Matrix[k] = (k == 0 || k == 4 || k == 8) ? 1.0 : 0.0;
  cc->OffsetR = cc->OffsetG = cc->OffsetB = 0;
  cc->GainR = cc->GainG = cc->GainB = 1;
  cc->HueShift = 0;
  cc->SaturationGain = 1;
  cc->LightnessOffset = 0;
  cc->LightnessGain = 1;
  cc->Stamp = 0;
  StartWorkers(cc);
  return cc;
}

int32_t FreeColorCorrection(ColorCorrection* cc) {
  if (cc == nullptr) return 0;
  StopWorkers(cc);
  ImageFree(cc);
  return 1;
}

int32_t SetColorCorrectionGains(ColorCorrection* cc, double gainR, double offsetR, double gainG,
                                double offsetG, double gainB, double offsetB) {
  if (cc == nullptr) return 0;
  StoreGains(*cc, gainR, offsetR, gainG, offsetG, gainB, offsetB);
  AdvanceStamp(*cc);
  return 1;
}

int32_t GetColorCorrectionGains(const ColorCorrection* cc, double* gainR, double* offsetR,
                                double* gainG, double* offsetG, double* gainB, double* offsetB) {
  if (cc == nullptr) return 0;
  *gainR = cc->GainR;
  *offsetR = cc->OffsetR;
  *gainG = cc->GainG;
  *offsetG = cc->OffsetG;
  *gainB = cc->GainB;
  *offsetB = cc->OffsetB;
  return 1;
}

int32_t SetColorCorrectionHSL(ColorCorrection* cc, double hueShift, double saturationGain,
                              double lightnessGain, double lightnessOffset) {
  if (cc == nullptr) return 0;
  StoreHSL(*cc, hueShift, saturationGain, lightnessGain, lightnessOffset);
  AdvanceStamp(*cc);
  return 1;
}

int32_t GetColorCorrectionHSL(const ColorCorrection* cc, double* hueShift, double* saturationGain,
                              double* lightnessGain, double* lightnessOffset) {
  if (cc == nullptr) return 0;
  *hueShift = cc->HueShift;
  *saturationGain = cc->SaturationGain;
  *lightnessGain = cc->LightnessGain;
  *lightnessOffset = cc->LightnessOffset;
  return 1;
}

int32_t SetColorCorrectionParams(ColorCorrection* cc, double gainR, double offsetR, double gainG,
                                 double offsetG, double gainB, double offsetB, double hueShift,
                                 double saturationGain, double lightnessGain,
                                 double lightnessOffset) {
  if (cc == nullptr) return 0;
  StoreGains(*cc, gainR, offsetR, gainG, offsetG, gainB, offsetB);
  StoreHSL(*cc, hueShift, saturationGain, lightnessGain, lightnessOffset);
  AdvanceStamp(*cc);  // once for all ten values
  return 1;
}

int32_t SetColorCorrectionMatrix(ColorCorrection* cc, const double* matrix) {
  if (cc == nullptr) return 0;
  std::memcpy(cc->Matrix, matrix, sizeof cc->Matrix);
  AdvanceStamp(*cc);
  return 1;
}

int32_t GetColorCorrectionMatrix(const ColorCorrection* cc, double* matrix) {
  if (cc == nullptr) return 0;
  std::memcpy(matrix, cc->Matrix, sizeof cc->Matrix);
  return 1;
}

int32_t SetColorCorrectionMode(ColorCorrection* cc, int32_t mode) {
  if (cc == nullptr) return 0;
  AdvanceStamp(*cc);
  cc->Mode = mode;
  return 0;
}

int32_t ApplyColorCorrection(ColorCorrection* cc, uint8_t* image, int32_t width, int32_t height) {
  return Apply<3>(cc, image, width, height);
}

int32_t ApplyColorCorrectionRGB32(ColorCorrection* cc, uint8_t* image, int32_t width,
                                  int32_t height) {
  return Apply<4>(cc, image, width, height);
}

}  // extern "C"
