// Every demosaic member on hostile sizes and samples: the selector picks the
// family (bits 0-2), the pixel format (bits 3-4) and the phase (bits 5-6).
// Source and destination are exactly the frame's and the picture's size.
#include <cstdint>
#include <vector>

#include "imaging.h"
#include "imaging/fuzz/fuzz_input.h"

namespace {

constexpr int kChannels[4] = {3, 4, 3, 4};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  imaging_fuzz::Input in;
  if (!imaging_fuzz::Parse(data, size, in)) return 0;
  const int family = in.selector & 7, format = (in.selector >> 3) & 3,
            phase = (in.selector >> 5) & 3;
  const size_t samples = static_cast<size_t>(in.width) * in.height;
  const size_t values = samples * kChannels[format];
  if (format < DEBAYER_16TO48) {
    const std::vector<uint8_t> src = imaging_fuzz::Exactly(in, samples);
    std::vector<uint8_t> dst(values);
    Debayer8Member(family, format, phase)(src.data(), in.width, in.height, dst.data());
  } else {
    const std::vector<uint8_t> bytes = imaging_fuzz::Exactly(in, 2 * samples);
    const std::vector<uint16_t> src(reinterpret_cast<const uint16_t*>(bytes.data()),
                                    reinterpret_cast<const uint16_t*>(bytes.data()) + samples);
    std::vector<uint16_t> dst(values);
    Debayer16Member(family, format, phase)(src.data(), in.width, in.height, dst.data());
  }
  return 0;
}
