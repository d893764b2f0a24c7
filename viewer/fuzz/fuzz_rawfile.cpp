// The viewer's RAW video reader on hostile files: the header and its check
// against the viewer's buffers, then frame records read and decoded by the
// header's stream format into buffers of exactly the viewer's sizes, so any
// read or write past them is a sanitizer report.
//
// Input: the header's fields up to its colour tables (the rest of the
// header, tables and reserved bytes, is zeros), then the records. The file
// is written to an in-memory file that TRAWFile opens by name.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <QString>

#include <sys/mman.h>
#include <unistd.h>

#include "common/RenderCore.h"
#include "viewer/RAWFile.h"

namespace {

constexpr std::size_t kHeaderFields = offsetof(RAWVideoHeader, ColorLookupTable);
// Records decoded per input: enough for a frame after a short or long one.
constexpr int kMaxRecords = 3;

struct Buffers {
  std::unique_ptr<std::uint8_t[]> raw{new std::uint8_t[RawBufferSize]};
  std::unique_ptr<std::uint16_t[]> pixels16{new std::uint16_t[Pixels16Count]};
  std::unique_ptr<std::uint8_t[]> pixels8{new std::uint8_t[RawBufferSize]};
  std::unique_ptr<std::uint8_t[]> image24{new std::uint8_t[Image24Size]};
  std::uint8_t lut[4096] = {};
};

int InputFile() {
  static const int fd = memfd_create("fuzz.raw", 0);
  return fd;
}

bool WriteFile(int fd, const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> file(RAWVideoHeaderSize, 0);
  const std::size_t fields = std::min(size, kHeaderFields);
  std::memcpy(file.data(), data, fields);
  // A file shorter than its header holds only the bytes given.
  if (size < kHeaderFields)
    file.resize(size);
  else
    file.insert(file.end(), data + kHeaderFields, data + size);
  return ftruncate(fd, 0) == 0 &&
         pwrite(fd, file.data(), file.size(), 0) == static_cast<ssize_t>(file.size());
}

// What the viewer does with a record, through the render core it draws
// with: the stream format's decoder, the 8-bit mapping and a demosaic.
void Decode(Buffers& b, const RAWVideoHeader& h, std::uint32_t bytes) {
  const TRenderBuffers buffers{b.pixels16.get(), b.pixels8.get(), b.image24.get()};
  TRenderFrame frame;
  if (!UnpackFrame(h.StreamStatus, b.raw.get(), bytes, h.Width, h.Height, buffers, frame))
    return;  // never rendered
  MapFrameTo8Bit(frame, {b.lut, b.lut}, buffers);
  DemosaicFrame(frame, DEBAYER_BILINEAR, buffers);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Buffers buffers;
  const int fd = InputFile();
  if (fd < 0 || !WriteFile(fd, data, size)) std::abort();
  TRAWFile file;
  if (!file.Open(QStringLiteral("/proc/self/fd/%1").arg(fd))) std::abort();
  RAWVideoHeader header;
  if (file.Read(&header, sizeof header) != std::int64_t{sizeof header}) return 0;
  if (!HeaderFitsBuffers(header)) return 0;
  for (int i = 0; i < kMaxRecords; ++i) {
    std::uint32_t bytes = 0;
    const TRecordRead read = file.ReadRecord(buffers.raw.get(), RawBufferSize, bytes);
    if (bytes > RawBufferSize) std::abort();
    if (read == TRecordRead::Done)
      Decode(buffers, header, bytes);
    else if (read != TRecordRead::TooLong)
      break;
    else if (file.ReadRecord(buffers.raw.get(), RawBufferSize, bytes) != TRecordRead::TooLong)
      std::abort();  // a record too long stays where it is
  }
  return 0;
}
