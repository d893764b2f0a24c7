// The RAW video file: the one definition of its layout, shared by the camera
// application, which writes it during RAW capture, and the viewer, which
// reads it.
//
// A file is a 32,768-byte header at offset 0, then frame records back to back
// until the end of the file: a u32 byte count N followed by the N bytes of
// the frame exactly as the camera delivered them. There is no frame count,
// index or trailer. Integers are little-endian, reals IEEE 754 binary64.
#ifndef COMMON_RAWVIDEO_H
#define COMMON_RAWVIDEO_H

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "the file's integers are stored as the processor holds them");

// Size of the RAW video file header.
constexpr std::uint32_t RAWVideoHeaderSize = 32768;

// The "QDV" signature with its zero byte, and the sensor's Bayer phase.
inline constexpr char RAWVideoSignature[4] = {'Q', 'D', 'V', '\0'};
inline constexpr char RAWVideoBayerMatrix[4] = {'G', 'B', 'R', 'G'};

// HeaderFlags bits.
namespace RAWHeaderFlags {
constexpr std::uint32_t MedianFilterMask = 0x3;  // MedianFilterType: 0 off, 1, 2
constexpr std::uint32_t SDRAM = 0x4;             // high-speed shutter status nonzero
constexpr std::uint32_t Gamma = 0x8;             // bit 0x80 of sensor register 0x70 set
}  // namespace RAWHeaderFlags

#pragma pack(push, 1)
struct RAWVideoHeader {
  char Signature[4];
  char BayerMatrix[4];
  std::uint8_t DeviceID[16];  // the camera's identity record as delivered
  std::int32_t Width;
  std::int32_t Height;
  std::int32_t StreamStatus;  // the frames' StreamFormat (imaging/streamformat.h)
  std::uint32_t HeaderFlags;
  double Frequency;                         // sensor clock in Hz
  double Exposure;                          // milliseconds
  double FrameRate;                         // frames per second
  double Gain;                              // dB
  std::uint16_t ColorLookupTable[3][4096];  // red, green, blue
  std::uint8_t Reserved[8120];              // zero
};
#pragma pack(pop)

static_assert(sizeof(RAWVideoHeader) == RAWVideoHeaderSize);
static_assert(offsetof(RAWVideoHeader, DeviceID) == 8);
static_assert(offsetof(RAWVideoHeader, Width) == 24);
static_assert(offsetof(RAWVideoHeader, StreamStatus) == 32);
static_assert(offsetof(RAWVideoHeader, HeaderFlags) == 36);
static_assert(offsetof(RAWVideoHeader, Frequency) == 40);
static_assert(offsetof(RAWVideoHeader, Gain) == 64);
static_assert(offsetof(RAWVideoHeader, ColorLookupTable) == 72);
static_assert(offsetof(RAWVideoHeader, Reserved) == 24648);

// Byte offsets of the header's fields, for code that fills a raw buffer.
namespace RAWHeader {
constexpr std::uint32_t Signature = offsetof(RAWVideoHeader, Signature);
constexpr std::uint32_t BayerMatrix = offsetof(RAWVideoHeader, BayerMatrix);
constexpr std::uint32_t DeviceID = offsetof(RAWVideoHeader, DeviceID);
constexpr std::uint32_t Width = offsetof(RAWVideoHeader, Width);
constexpr std::uint32_t Height = offsetof(RAWVideoHeader, Height);
constexpr std::uint32_t StreamStatus = offsetof(RAWVideoHeader, StreamStatus);
constexpr std::uint32_t HeaderFlags = offsetof(RAWVideoHeader, HeaderFlags);
constexpr std::uint32_t Frequency = offsetof(RAWVideoHeader, Frequency);
constexpr std::uint32_t Exposure = offsetof(RAWVideoHeader, Exposure);
constexpr std::uint32_t FrameRate = offsetof(RAWVideoHeader, FrameRate);
constexpr std::uint32_t Gain = offsetof(RAWVideoHeader, Gain);
constexpr std::uint32_t ColorLookupTable = offsetof(RAWVideoHeader, ColorLookupTable);
constexpr std::uint32_t ColorLookupTableSize = sizeof(RAWVideoHeader::ColorLookupTable);
}  // namespace RAWHeader

// A frame record starts with the frame's byte count as a u32.
constexpr std::uint32_t RAWFrameRecordPrefixSize = 4;

// Writes a record's byte count at its start; the frame's bytes follow.
inline void PutRAWRecordLength(void* record, std::uint32_t frameBytes) {
  std::memcpy(record, &frameBytes, RAWFrameRecordPrefixSize);
}

// The byte count at the start of a record.
inline std::uint32_t GetRAWRecordLength(const void* record) {
  std::uint32_t frameBytes;
  std::memcpy(&frameBytes, record, RAWFrameRecordPrefixSize);
  return frameBytes;
}

// Writes `size` bytes to the open file descriptor at its current position:
// the header with one call, a frame pool's block of records with another.
// Partial writes and interrupted calls are continued; false when the file
// refuses bytes (disk full, I/O error), with errno telling why.
bool WriteRAWVideoData(int file, const void* data, std::uint64_t size);

#endif
