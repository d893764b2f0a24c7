// Uncompressed AVI video files: a RIFF AVI 1.0 writer with one video stream.
//
// File layout (all sizes little-endian, every chunk padded to an even size):
//   RIFF 'AVI '
//     LIST 'hdrl'
//       'avih'  main header (frame period, frame count, stream count, size)
//       LIST 'strl'
//         'strh'  stream header: 'vids', handler 0, scale, rate, length
//         'strf'  BITMAPINFOHEADER (rows top-down), at 8 bits with a
//                 256-entry grey palette
//         'strn'  the stream name with its terminating zero (optional)
//     LIST 'movi'
//       '00db'  one chunk per frame, each a key frame; rows padded to
//               4 bytes
//     'idx1'  one entry per frame (key-frame flag, offset from 'movi')
//
// The header is written when the file opens, brought up to date in place
// while frames are written (once per update interval, one positioned write
// of the whole header) and rewritten when it closes; the index is written at
// the close. Until then the header describes the frames on disk without an
// index, so a writer killed mid-file leaves a file that every reader takes,
// losing only the frames since the last update. A close first rewrites the
// header (its room exists already, so a full disk cannot stop it), then
// writes the index and sets the header's index flag: a file whose index does
// not fit keeps every frame without one. Every frame has the same size, so
// nothing is kept per frame. A file never
// grows past its size limit (at most 2,000,000,000 bytes, well inside what
// the 32-bit sizes of a RIFF AVI 1.0 file can hold): a frame that would take
// the finished file past it is refused.
#ifndef PLATFORM_AVIFILE_H
#define PLATFORM_AVIFILE_H

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/dib.h"

namespace platform {

// The largest file a writer produces, index included.
inline constexpr std::uint64_t AVIMaxFileBytes = 2000000000;

// How much a writer that is killed may lose: the frames of one interval.
inline constexpr std::chrono::milliseconds AVIHeaderUpdateInterval{1000};

// How a frame rate becomes the stream's integer rate over its scale.
enum class AVIRateRounding {
  HalvesToEven,  // nearest integer, halves to the even one
  HalvesUp       // trunc(x + 0.5)
};
// Frames per second used where a rate is zero, negative or not finite (a zero
// rate makes the file unreadable).
inline constexpr double AVIFallbackFps = 25.0;
// The stream rate for fps frames per second over scale: fps x scale rounded;
// a rate that is not positive, not finite or beyond 32 bits gives
// AVIFallbackFps instead.
std::uint32_t AVIStreamRate(double fps, std::uint32_t scale, AVIRateRounding rounding);

// What the stream and its frames look like.
struct AVIStreamFormat {
  std::int32_t width = 0;   // 1 to 32,767
  std::int32_t height = 0;  // 1 to 32,767
  // 24: B, G, R bytes; 8: grey bytes shown through a 256-entry grey palette.
  std::int32_t bitsPerPixel = 24;
  std::uint32_t scale = 1000;  // frames per second = rate / scale
  std::uint32_t rate = 25000;
  // The format's horizontal and vertical resolution in pixels per metre.
  std::int32_t pixelsPerMeter = 0;
  // Written as a 'strn' chunk when not empty.
  std::string streamName;
  // The largest file size allowed (at most AVIMaxFileBytes).
  std::uint64_t sizeLimit = AVIMaxFileBytes;
  // How often the header on disk is brought up to date while frames are
  // written (zero: after every frame).
  std::chrono::milliseconds headerUpdateInterval = AVIHeaderUpdateInterval;
};

enum class AVIWriteResult {
  Written,
  NotOpen,
  SizeLimit,  // the frame would take the file past its size limit
  Failed      // the write failed; the frame is not in the file
};

// One AVI file of uncompressed frames, written as it grows: the platform's
// layer under both programs' AVI writers (the camera application's
// AVIOpen/AVIAddFrame/AVIClose and the viewer's AVIWriter of parts).
class AVIFileWriter {
 public:
  AVIFileWriter() = default;
  ~AVIFileWriter();
  AVIFileWriter(const AVIFileWriter&) = delete;
  AVIFileWriter& operator=(const AVIFileWriter&) = delete;

  // Closes any open file, then creates the file, only where no file (nor
  // link) of that name exists, and writes its header. False when the format
  // is invalid or the file cannot be created or written.
  bool Open(const std::string& path, const AVIStreamFormat& format);
  // Writes one frame as the next key frame: height rows of
  // width x bitsPerPixel / 8 bytes, packed end to end, top row first.
  AVIWriteResult WriteFrame(const void* pixels);
  // Whether one more frame fits under the size limit.
  bool NextFrameFits() const;
  // Writes the final header and the index and closes the file. False when
  // no file was open or the file could not be completed (it then keeps
  // KeptFrames() frames, without an index).
  bool Close();
  // The frames the file closed last holds.
  std::uint32_t KeptFrames() const { return keptFrames_; }

  bool IsOpen() const { return file_ != nullptr; }
  // Frames written so far (the index of the next frame).
  std::uint32_t FrameIndex() const { return frames_; }
  // Bytes of a frame as the caller passes it, and as stored in its chunk.
  std::uint64_t FrameBytes() const;
  std::uint64_t StoredFrameBytes() const;

 private:
  std::uint64_t FileBytes(std::uint64_t frames) const;
  std::uint64_t MoviEnd(std::uint64_t frames) const;
  bool RewriteHeader(bool indexed);
  void UpdateHeaderWhenDue();
  bool WriteIndex();

  FilePtr file_;
  AVIStreamFormat format_;
  std::uint64_t headerBytes_ = 0;  // through the 'movi' list's type
  std::uint32_t frames_ = 0;
  std::uint32_t framesInHeader_ = 0;  // the frames the header on disk describes
  std::uint32_t keptFrames_ = 0;
  std::chrono::steady_clock::time_point headerUpdated_;
};

}  // namespace platform

#endif
