// Frame production for the stream formats, as their table defines them.
#include "simcam/src/FrameRenderer.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

#include "imaging/encode.h"
#include "simcam/SimCamera.h"
#include "simcam/src/Scene.h"

namespace simcam {

namespace {

// Depth of the sensor's samples.
constexpr int kSampleBits = 12;

// The table row of a format the camera streams; the device accepts no other.
const StreamFormatInfo& FormatOf(std::uint32_t format) {
  const StreamFormatInfo* info = FindStreamFormat(format);
  assert(info != nullptr);
  return *info;
}

// Colour channel of the even and odd columns of a row of the GBRG mosaic.
struct RowChannels {
  int even;
  int odd;
};
constexpr RowChannels ChannelsOfRow(int sensorY) {
  return (sensorY & 1) == 0 ? RowChannels{1, 2} : RowChannels{0, 1};
}

template <class T>
void MapRow(const std::uint16_t* radiance, const std::uint8_t* noise, const T* even, const T* odd,
            T* out, int width) {
  for (int x = 0; x < width; x += 2) {
    out[x] = even[radiance[x] + noise[x]];
    out[x + 1] = odd[radiance[x + 1] + noise[x + 1]];
  }
}

// 4 samples in 6 bytes: s1, s2, s3 as low byte + low nibble of the high part,
// s0 spread over the high nibbles of b1, b3 and b5. Each group is stored as
// 8 bytes whose last two the next group overwrites, so `out` needs 2 bytes
// of room past the packed row.
void Pack12(const std::uint16_t* s, int width, std::uint8_t* out) {
  for (int x = 0; x < width; x += 4, s += 4, out += 6) {
    const std::uint64_t s0 = s[0], s1 = s[1], s2 = s[2], s3 = s[3];
    const std::uint64_t group = s1 | ((s0 & 0x0F) << 12) | (s2 << 16) | ((s0 & 0xF0) << 24) |
                                (s3 << 32) | ((s0 >> 8) << 44);
    std::memcpy(out, &group, sizeof group);
  }
}

// 16 samples in 20 bytes: the low bytes, then four bytes of two high bits
// per sample (sample 4k + j in bits 2j and 2j + 1 of byte 16 + k).
void Pack10(const std::uint16_t* s, int width, std::uint8_t* out) {
  for (int x = 0; x < width; x += 16, s += 16, out += 20) {
    std::uint16_t v[16];
    std::memcpy(v, s, sizeof v);
    std::uint8_t block[20];
    for (int j = 0; j < 16; ++j) block[j] = static_cast<std::uint8_t>(v[j]);
    for (int k = 0; k < 4; ++k) {
      const std::uint16_t* q = v + 4 * k;
      block[16 + k] =
          static_cast<std::uint8_t>(((q[0] >> 8) & 3) | (((q[1] >> 8) & 3) << 2) |
                                    (((q[2] >> 8) & 3) << 4) | (((q[3] >> 8) & 3) << 6));
    }
    std::memcpy(out, block, sizeof block);
  }
}

// Calls emit(localRow, sensorY, radiance, noise) for every row of the frame.
template <class Emit>
void ForEachRow(const FrameJob& job, Emit emit) {
  const Scene& scene = Scene::Get();
  std::uint16_t scratch[kSensorWidth];
  for (int r = 0; r < job.region.height; ++r) {
    const int y = job.region.y + r;
    const std::uint16_t* radiance =
        scene.ComposeRow(job.frame, y, job.region.x, job.region.width, scratch);
    const std::uint8_t* noise = scene.NoiseRow(job.seed, job.frame, y) + job.region.x;
    emit(r, y, radiance, noise);
  }
}

void RenderNarrow(const FrameJob& job, std::uint8_t* out) {
  const int width = job.region.width;
  ForEachRow(job, [&](int r, int y, const std::uint16_t* radiance, const std::uint8_t* noise) {
    const RowChannels c = ChannelsOfRow(y);
    MapRow(radiance, noise, job.tables->narrow[c.even].data(), job.tables->narrow[c.odd].data(),
           out + static_cast<std::size_t>(r) * width, width);
  });
}

// Each row is packed in a local buffer and then copied out in one piece,
// which writes the caller's memory far faster than the packers' small
// unaligned stores would.
template <class Pack>
void RenderWide(const FrameJob& job, std::uint8_t* out, std::size_t rowBytes, Pack pack) {
  const int width = job.region.width;
  std::uint16_t samples[kSensorWidth];
  std::uint8_t packed[kSensorWidth * 2 + 8];  // room for Pack12's last store
  ForEachRow(job, [&](int r, int y, const std::uint16_t* radiance, const std::uint8_t* noise) {
    const RowChannels c = ChannelsOfRow(y);
    MapRow(radiance, noise, job.tables->wide[c.even].data(), job.tables->wide[c.odd].data(),
           samples, width);
    pack(samples, width, packed);
    std::memcpy(out + static_cast<std::size_t>(r) * rowBytes, packed, rowBytes);
  });
}

}  // namespace

void FillDefaultTables(std::uint32_t format, ColourTables& tables) {
  const int shift = kSampleBits - FormatOf(format).lookupBits;
  for (std::size_t i = 0; i < tables.size(); ++i)
    tables[i] = static_cast<std::uint16_t>((i % kLookupEntries) >> shift);
}

std::shared_ptr<const ToneTables> BuildToneTables(const SensorResponse& response,
                                                  std::uint32_t format,
                                                  const ColourTables& lookup) {
  auto tables = std::make_shared<ToneTables>();
  tables->format = format;
  const StreamFormatInfo& info = FormatOf(format);
  const bool narrow = info.bitsPerSample == 8;
  // The camera's own 12-bit samples go out unmapped where the stream carries
  // all their bits.
  const bool unmapped = info.bitsPerSample == kSampleBits;
  const auto max = static_cast<std::uint16_t>((1u << info.lookupBits) - 1);
  for (int c = 0; c < 3; ++c) {
    if (narrow)
      tables->narrow[c].resize(kResponseEntries);
    else
      tables->wide[c].resize(kResponseEntries);
  }
  for (int i = 0; i < kResponseEntries; ++i) {
    const double signal = (i - kNoiseBias) * response.scale;
    const double value = response.pedestal + (response.gamma ? GammaCurve(signal) : signal);
    const auto sample = static_cast<std::size_t>(std::clamp(std::nearbyint(value), 0.0, 4095.0));
    for (int c = 0; c < 3; ++c) {
      const std::uint16_t mapped =
          std::min<std::uint16_t>(lookup[c * kLookupEntries + sample], max);
      if (unmapped)
        tables->wide[c][i] = static_cast<std::uint16_t>(sample);
      else if (narrow)
        tables->narrow[c][i] = static_cast<std::uint8_t>(mapped);
      else
        tables->wide[c][i] = mapped;
    }
  }
  return tables;
}

std::uint64_t FrameBytesBound(std::uint32_t format, int width, int height) {
  const StreamFormatInfo* info = FindStreamFormat(format);
  if (info == nullptr) return 0;
  return info->lineRecords != 0 ? CompressedLinesBound(width, height)
                                : StreamFrameBytes(info, width, height);
}

DWORD RenderFrame(const FrameJob& job, std::uint8_t* out, std::uint64_t size, DWORD& bytes) {
  const StreamFormatInfo* info = FindStreamFormat(job.tables->format);
  if (info == nullptr) return kErrorBadRequest;
  const int width = job.region.width, height = job.region.height;
  if (info->lineRecords != 0) {
    // The 8-bit frame first, then its line records straight into the caller's
    // buffer; the encoder refuses a run that does not fit.
    thread_local std::vector<std::uint8_t> frame8;
    frame8.resize(static_cast<std::size_t>(width) * height);
    RenderNarrow(job, frame8.data());
    const std::uint32_t capacity =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(size, 0xFFFFFFFFu));
    const std::uint32_t written =
        EncodeCompressedLines(frame8.data(), width, height, out, capacity);
    if (written == 0) return kErrorBufferTooSmall;
    bytes = written;
    return ERROR_SUCCESS;
  }
  const std::uint64_t need = StreamFrameBytes(info, width, height);
  if (need > size || need > 0xFFFFFFFFu) return kErrorBufferTooSmall;
  if (info->bitsPerSample == 8)
    RenderNarrow(job, out);
  else
    RenderWide(job, out, static_cast<std::size_t>(StreamRowBytes(info, width)),
               info->bitsPerSample == 12 ? Pack12 : Pack10);
  bytes = static_cast<DWORD>(need);
  return ERROR_SUCCESS;
}

}  // namespace simcam
