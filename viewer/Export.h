// What the viewer exports besides its screen: the names of numbered frame
// files and AVI parts, and the AVI writer the conversion writes each part
// through.
#ifndef VIEWER_EXPORT_H
#define VIEWER_EXPORT_H

#include <QString>

#include <cstdint>

#include "platform/avifile.h"

// Whether a file (or a link, even a dangling one) of that name exists.
bool FileNameTaken(const QString& name);

// prefix + counter as at least four digits + suffix, for the first counter
// from its value on whose name is not taken; counter stays at that number.
QString NextFreeFileName(const QString& prefix, const QString& suffix, std::int32_t& counter);

// prefix + file number (at least four digits) + "-PART-" + part number (at
// least four digits) + suffix.
QString AVIPartFileName(const QString& prefix, std::int32_t fileNumber, std::int32_t partNumber,
                        const QString& suffix);

// The name of part 0 of the first AVI file number from counter on of which
// no part exists (prefix + "nnnn-PART-*.AVI"); counter stays at that number.
QString NextFreeAVIFileName(const QString& prefix, std::int32_t& counter);

// The conversion's writer of AVI parts, over the platform's AVIFileWriter (one
// file each): uncompressed frames of the rendered image, 8 bits
// with a grey palette or 24 bits, each a key frame, at the file's frame rate
// over a scale of 1,000, under the stream name "QDV-47B5". Each part is a new
// file: nothing of that name is replaced. A failing call sends
// "hr=XXXXXXXXh" with its result to the debugging output and closes the part.
class AVIWriter {
 public:
  static constexpr std::uint32_t Scale = 1000;
  static constexpr std::int32_t PixelsPerMeter = 10000;
  static constexpr const char* StreamName = "QDV-47B5";

  AVIWriter() = default;
  ~AVIWriter();
  AVIWriter(const AVIWriter&) = delete;
  AVIWriter& operator=(const AVIWriter&) = delete;

  // Closes the part open before, then creates fileName with a stream of
  // width x height pixels of bitsPerPixel (8 or 24) at frameRate frames per
  // second (trunc(frameRate x 1000 + 0.5) over 1000; 25 fps where that is
  // no valid rate). handler: the stream's compressor, always 0.
  bool Open(const QString& fileName, std::int32_t width, std::int32_t height,
            std::int32_t bitsPerPixel, double frameRate, std::uint32_t handler);
  // Writes image (bytes: width x height x bits / 8, rows packed, top row
  // first) as the next frame. False without an open part, and when the
  // frame cannot be written (the part is then closed).
  bool WriteFrame(const void* image, std::uint32_t bytes);
  // Completes and closes the part (its index and final header); false when
  // that fails. Without an open part: true.
  bool Close();

  bool IsOpen() const { return file_.IsOpen(); }
  std::uint32_t FrameIndex() const { return file_.FrameIndex(); }
  // The frames the part closed last holds, also when its close or a frame's
  // write failed (a reader finds exactly these).
  std::uint32_t KeptFrames() const { return file_.KeptFrames(); }
  // Whether one more frame keeps the part within SizeLimit.
  bool NextFrameFits() const { return file_.NextFrameFits(); }

  // The largest size of a part, index and headers included (tests lower it).
  std::uint64_t SizeLimit = platform::AVIMaxFileBytes;

 private:
  platform::AVIFileWriter file_;
};

#endif
