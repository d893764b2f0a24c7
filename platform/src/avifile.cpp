#include "platform/avifile.h"

#include "platform/fdwrite.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include <stdio_ext.h>
#include <sys/types.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::uint32_t FourCC(const char (&code)[5]) {
  return static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[0])) |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[3])) << 24;
}

struct AVIMainHeader {
  std::uint32_t dwMicroSecPerFrame;
  std::uint32_t dwMaxBytesPerSec;
  std::uint32_t dwPaddingGranularity;
  std::uint32_t dwFlags;
  std::uint32_t dwTotalFrames;
  std::uint32_t dwInitialFrames;
  std::uint32_t dwStreams;
  std::uint32_t dwSuggestedBufferSize;
  std::uint32_t dwWidth;
  std::uint32_t dwHeight;
  std::uint32_t dwReserved[4];
};
static_assert(sizeof(AVIMainHeader) == 56);

struct AVIStreamHeader {
  std::uint32_t fccType;
  std::uint32_t fccHandler;
  std::uint32_t dwFlags;
  std::uint16_t wPriority;
  std::uint16_t wLanguage;
  std::uint32_t dwInitialFrames;
  std::uint32_t dwScale;
  std::uint32_t dwRate;
  std::uint32_t dwStart;
  std::uint32_t dwLength;
  std::uint32_t dwSuggestedBufferSize;
  std::uint32_t dwQuality;
  std::uint32_t dwSampleSize;
  std::int16_t rcFrame[4];  // left, top, right, bottom
};
static_assert(sizeof(AVIStreamHeader) == 56);

struct AVIIndexEntry {
  std::uint32_t ckid;
  std::uint32_t dwFlags;
  std::uint32_t dwChunkOffset;  // from the 'movi' list's type
  std::uint32_t dwChunkLength;
};
static_assert(sizeof(AVIIndexEntry) == 16);

constexpr std::uint32_t AVIF_HASINDEX = 0x10;
constexpr std::uint32_t AVIIF_KEYFRAME = 0x10;
constexpr std::uint32_t FrameChunkId = FourCC("00db");
constexpr std::int32_t MaxExtent = std::numeric_limits<std::int16_t>::max();
// Chunk header: four-character code and size.
constexpr std::uint64_t ChunkHeaderBytes = 8;

// Chunk data is padded to an even size.
constexpr std::uint64_t Padded(std::uint64_t bytes) { return bytes + (bytes & 1); }

std::uint32_t ClampToU32(double value) {
  if (!(value >= 0)) return 0;
  if (value >= 4294967295.0) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(std::nearbyint(value));
}

// Bytes of a file header, with list sizes patched once its end is known.
class HeaderBytes {
 public:
  // Room for a usual header: an 8-bit format with its palette and a short name.
  HeaderBytes() { bytes_.reserve(2048); }
  void U32(std::uint32_t value) { Raw(&value, 4); }
  void Code(const char (&code)[5]) { U32(FourCC(code)); }
  void Raw(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), bytes, bytes + size);
  }
  // Starts a list: 'LIST', its size (patched by EndList), its type.
  std::size_t BeginList(const char (&type)[5]) {
    Code("LIST");
    const std::size_t at = bytes_.size();
    U32(0);
    Code(type);
    return at;
  }
  void EndList(std::size_t at) { Patch(at, static_cast<std::uint32_t>(bytes_.size() - at - 4)); }
  void Chunk(const char (&code)[5], const void* data, std::size_t size) {
    Code(code);
    U32(static_cast<std::uint32_t>(size));
    Raw(data, size);
    if (size & 1) bytes_.push_back(0);
  }
  void Patch(std::size_t at, std::uint32_t value) { std::memcpy(bytes_.data() + at, &value, 4); }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// The file's header through the 'movi' list's type, for `frames` frames of
// frameBytes stored bytes each, followed by their index when indexed.
HeaderBytes BuildHeader(const AVIStreamFormat& format, std::uint32_t frames,
                        std::uint64_t frameBytes, bool indexed) {
  const std::uint64_t chunkBytes = Padded(frameBytes);
  const double fps = static_cast<double>(format.rate) / format.scale;

  AVIMainHeader main{};
  main.dwMicroSecPerFrame = ClampToU32(1000000.0 * format.scale / format.rate);
  main.dwMaxBytesPerSec = ClampToU32(static_cast<double>(chunkBytes) * fps);
  main.dwFlags = indexed ? AVIF_HASINDEX : 0;
  main.dwTotalFrames = frames;
  main.dwStreams = 1;
  main.dwSuggestedBufferSize = static_cast<std::uint32_t>(chunkBytes);
  main.dwWidth = static_cast<std::uint32_t>(format.width);
  main.dwHeight = static_cast<std::uint32_t>(format.height);

  AVIStreamHeader stream{};
  stream.fccType = FourCC("vids");
  stream.fccHandler = 0;  // uncompressed
  stream.dwScale = format.scale;
  stream.dwRate = format.rate;
  stream.dwLength = frames;
  stream.dwSuggestedBufferSize = static_cast<std::uint32_t>(chunkBytes);
  stream.rcFrame[2] = static_cast<std::int16_t>(format.width);
  stream.rcFrame[3] = static_cast<std::int16_t>(format.height);

  // Negative height: rows top-down.
  const BITMAPINFOHEADER bitmap = MakeBitmapInfoHeader(
      format.width, -format.height, format.bitsPerPixel, static_cast<std::uint32_t>(frameBytes),
      format.pixelsPerMeter, format.pixelsPerMeter);
  std::vector<std::uint8_t> streamFormat(sizeof bitmap);
  std::memcpy(streamFormat.data(), &bitmap, sizeof bitmap);
  if (format.bitsPerPixel == 8) {
    for (std::uint32_t i = 0; i < 256; ++i) {
      const std::uint8_t entry[4] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i),
                                     static_cast<std::uint8_t>(i), 0};
      streamFormat.insert(streamFormat.end(), entry, entry + 4);
    }
  }

  HeaderBytes header;
  header.Code("RIFF");
  const std::size_t riff = header.Bytes().size();
  header.U32(0);  // patched once the header's own size is known
  header.Code("AVI ");
  const std::size_t hdrl = header.BeginList("hdrl");
  header.Chunk("avih", &main, sizeof main);
  const std::size_t strl = header.BeginList("strl");
  header.Chunk("strh", &stream, sizeof stream);
  header.Chunk("strf", streamFormat.data(), streamFormat.size());
  if (!format.streamName.empty())
    header.Chunk("strn", format.streamName.c_str(), format.streamName.size() + 1);
  header.EndList(strl);
  header.EndList(hdrl);
  const std::size_t movi = header.BeginList("movi");
  const std::uint64_t moviData = frames * (ChunkHeaderBytes + chunkBytes);
  header.Patch(movi, static_cast<std::uint32_t>(4 + moviData));
  const std::uint64_t index = indexed ? ChunkHeaderBytes + frames * sizeof(AVIIndexEntry) : 0;
  header.Patch(riff, static_cast<std::uint32_t>(header.Bytes().size() - ChunkHeaderBytes +
                                                moviData + index));
  return header;
}

bool WriteAll(std::FILE* file, const void* data, std::size_t size) {
  return std::fwrite(data, 1, size, file) == size;
}

// Index entries written per call.
constexpr std::size_t IndexBatch = 4096;

}  // namespace

std::uint32_t AVIStreamRate(double fps, std::uint32_t scale, AVIRateRounding rounding) {
  const double x = fps * scale;
  double rate = rounding == AVIRateRounding::HalvesToEven ? std::nearbyint(x) : std::trunc(x + 0.5);
  if (!std::isfinite(rate) || rate < 1 || rate > 4294967295.0)
    rate = std::nearbyint(AVIFallbackFps * scale);
  return static_cast<std::uint32_t>(rate);
}

AVIFileWriter::~AVIFileWriter() { Close(); }

std::uint64_t AVIFileWriter::FrameBytes() const {
  return static_cast<std::uint64_t>(format_.width) * static_cast<std::uint64_t>(format_.height) *
         static_cast<std::uint64_t>(format_.bitsPerPixel / 8);
}

std::uint64_t AVIFileWriter::StoredFrameBytes() const {
  return DIBRowBytes(format_.width, format_.bitsPerPixel) *
         static_cast<std::uint64_t>(format_.height);
}

std::uint64_t AVIFileWriter::FileBytes(std::uint64_t frames) const {
  return MoviEnd(frames) + ChunkHeaderBytes + frames * sizeof(AVIIndexEntry);
}

std::uint64_t AVIFileWriter::MoviEnd(std::uint64_t frames) const {
  return headerBytes_ + frames * (ChunkHeaderBytes + Padded(StoredFrameBytes()));
}

bool AVIFileWriter::NextFrameFits() const {
  return IsOpen() && FileBytes(std::uint64_t{frames_} + 1) <= format_.sizeLimit;
}

// The header in place, in one positioned write: a writer killed meanwhile
// leaves the old header or the new one, never a mix. Frames reach the file
// before the header counts them.
bool AVIFileWriter::RewriteHeader(bool indexed) {
  const HeaderBytes header = BuildHeader(format_, frames_, StoredFrameBytes(), indexed);
  assert(header.Bytes().size() == headerBytes_);
  if (!WriteFullyAt(fileno(file_.get()), header.Bytes().data(), header.Bytes().size(), 0))
    return false;
  framesInHeader_ = frames_;
  return true;
}

void AVIFileWriter::UpdateHeaderWhenDue() {
  const auto now = std::chrono::steady_clock::now();
  if (now - headerUpdated_ < format_.headerUpdateInterval) return;
  headerUpdated_ = now;
  // A failed update keeps the previous header, which still holds for the
  // frames it counts; the next update or the close writes it again.
  RewriteHeader(false);
}

// The index behind the last frame, a batch of entries per positioned write.
bool AVIFileWriter::WriteIndex() {
  const int fd = fileno(file_.get());
  const std::uint64_t stored = StoredFrameBytes();
  const std::uint64_t chunkBytes = ChunkHeaderBytes + Padded(stored);
  std::uint64_t at = MoviEnd(frames_);
  const std::uint32_t indexHeader[2] = {
      FourCC("idx1"), static_cast<std::uint32_t>(frames_ * sizeof(AVIIndexEntry))};
  if (!WriteFullyAt(fd, indexHeader, sizeof indexHeader, at)) return false;
  at += sizeof indexHeader;
  std::vector<AVIIndexEntry> batch;
  batch.reserve(std::min<std::size_t>(frames_, IndexBatch));
  for (std::uint32_t i = 0; i < frames_;) {
    batch.clear();
    for (; i < frames_ && batch.size() < IndexBatch; ++i) {
      // Offsets count from the 'movi' list's type, 4 bytes before the first chunk.
      batch.push_back({FrameChunkId, AVIIF_KEYFRAME, static_cast<std::uint32_t>(4 + i * chunkBytes),
                       static_cast<std::uint32_t>(stored)});
    }
    const std::uint64_t bytes = batch.size() * sizeof(AVIIndexEntry);
    if (!WriteFullyAt(fd, batch.data(), bytes, at)) return false;
    at += bytes;
  }
  return true;
}

bool AVIFileWriter::Open(const std::string& path, const AVIStreamFormat& format) {
  Close();
  const bool validFormat = format.width >= 1 && format.width <= MaxExtent && format.height >= 1 &&
                           format.height <= MaxExtent &&
                           (format.bitsPerPixel == 8 || format.bitsPerPixel == 24) &&
                           format.scale > 0 && format.rate > 0;
  if (!validFormat) return false;
  format_ = format;
  format_.sizeLimit = std::min(format.sizeLimit, AVIMaxFileBytes);
  frames_ = 0;
  framesInHeader_ = 0;
  file_ = CreateBinaryFile(path.c_str());
  if (file_ == nullptr) return false;
  // The header of a file without frames and index; frames follow it.
  const HeaderBytes header = BuildHeader(format_, 0, StoredFrameBytes(), false);
  headerBytes_ = header.Bytes().size();
  headerUpdated_ = std::chrono::steady_clock::now();
  if (!WriteAll(file_.get(), header.Bytes().data(), header.Bytes().size())) {
    // A file without a whole header is no AVI: it does not stay.
    file_.reset();
    std::remove(path.c_str());
    return false;
  }
  return true;
}

AVIWriteResult AVIFileWriter::WriteFrame(const void* pixels) {
  if (!IsOpen()) return AVIWriteResult::NotOpen;
  if (!NextFrameFits()) return AVIWriteResult::SizeLimit;
  assert(pixels != nullptr);
  std::FILE* file = file_.get();
  const std::uint64_t stored = StoredFrameBytes();
  // A failed write leaves the file position anywhere: each frame starts at
  // its own place, so the next frame overwrites what a failed one left.
  const std::uint64_t offset =
      headerBytes_ + std::uint64_t{frames_} * (ChunkHeaderBytes + Padded(stored));
  const std::uint32_t chunk[2] = {FrameChunkId, static_cast<std::uint32_t>(stored)};
  const std::uint64_t rowBytes = static_cast<std::uint64_t>(format_.width) *
                                 static_cast<std::uint64_t>(format_.bitsPerPixel / 8);
  const std::uint8_t pad = 0;
  const bool written =
      fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 &&
      WriteAll(file, chunk, sizeof chunk) &&
      WriteDIBRows(file, static_cast<const std::uint8_t*>(pixels), rowBytes,
                   DIBRowBytes(format_.width, format_.bitsPerPixel), format_.height, false) &&
      ((stored & 1) == 0 || WriteAll(file, &pad, 1)) &&
      // The whole frame in the file before it counts: a header written
      // later never describes bytes still in the buffer.
      std::fflush(file) == 0;
  if (!written) {
    // What the failed frame left in the buffer never reaches the file: the
    // next frame or the close starts clean.
    __fpurge(file);
    std::clearerr(file);
    return AVIWriteResult::Failed;
  }
  ++frames_;
  UpdateHeaderWhenDue();
  return AVIWriteResult::Written;
}

bool AVIFileWriter::Close() {
  if (!IsOpen()) return false;
  // The header first, in room already taken: a full disk that stops the
  // index still leaves every frame readable.
  const bool kept = std::fflush(file_.get()) == 0 && RewriteHeader(false);
  const bool indexed = kept && WriteIndex() && RewriteHeader(true);
  // Whatever a failed frame or index write left past the end goes.
  const bool trimmed =
      ftruncate(fileno(file_.get()),
                static_cast<off_t>(indexed ? FileBytes(frames_) : MoviEnd(framesInHeader_))) == 0;
  const bool closed = std::fclose(file_.release()) == 0;
  keptFrames_ = framesInHeader_;
  frames_ = 0;
  return indexed && trimmed && closed;
}

}  // namespace platform
