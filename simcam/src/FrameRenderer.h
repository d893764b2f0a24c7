// Frame production: the scene through the sensor response, the camera's
// lookup tables and the stream format, into the caller's buffer.
//
// Stream formats as the image library's StreamFormats table defines them
// (packing, depth, lookup depth): every format but the 12-bit one passes the
// sensor's 12-bit samples through the camera's lookup table of the site's
// colour, clipped to the format's lookup depth (255, or 1023 for 10-bit
// samples); the 12-bit format delivers the samples themselves.
#ifndef SIMCAM_FRAMERENDERER_H
#define SIMCAM_FRAMERENDERER_H

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/streamformat.h"
#include "platform/win32.h"
#include "simcam/src/Sensor.h"

namespace simcam {

inline constexpr std::size_t kLookupEntries = 4096;

// The camera's lookup tables: red, green, blue, 4096 entries each.
using ColourTables = std::array<std::uint16_t, 3 * kLookupEntries>;

// The default table of a format: the 12-bit sample s shifted down to the
// format's lookup depth (s >> 4, or s >> 2 for 10-bit samples) for every
// colour.
void FillDefaultTables(std::uint32_t format, ColourTables& tables);

// Per colour channel (red, green, blue), the delivered value of every
// radiance index (radiance + biased noise): the sensor response, then the
// lookup table where the format uses one.
struct ToneTables {
  std::uint32_t format = STREAM_RAW8;
  std::array<std::vector<std::uint8_t>, 3> narrow;  // formats of 8-bit samples
  std::array<std::vector<std::uint16_t>, 3> wide;   // formats of 10- and 12-bit samples
};

std::shared_ptr<const ToneTables> BuildToneTables(const SensorResponse& response,
                                                  std::uint32_t format, const ColourTables& lookup);

struct Region {
  int x = 0;       // even
  int y = 0;       // even
  int width = 0;   // multiple of 16
  int height = 0;  // even
};

// Everything one frame depends on.
struct FrameJob {
  Region region;
  std::uint32_t seed = 0;
  std::uint64_t frame = 0;
  std::shared_ptr<const ToneTables> tables;
};

// Bytes of a packed frame (StreamFrameBytes); for compressed line records
// the largest size.
std::uint64_t FrameBytesBound(std::uint32_t format, int width, int height);

// Renders the frame into `out`. Returns ERROR_SUCCESS with `bytes` set, or
// kErrorBufferTooSmall when the frame does not fit in `size` bytes.
DWORD RenderFrame(const FrameJob& job, std::uint8_t* out, std::uint64_t size, DWORD& bytes);

}  // namespace simcam

#endif
