// Reading side of a RAW video file: an open file descriptor of a regular
// file, whole reads that loop over short reads, and 64-bit positions.
//
// The file layout (header, then length-prefixed frame records) is
// common/RAWVideo.h; what the viewer does at each step is TAppForm's.
#ifndef VIEWER_RAWFILE_H
#define VIEWER_RAWFILE_H

#include <QString>

#include <cstdint>

#include "common/FrameBuffers.h"
#include "common/RAWVideo.h"
#include "common/RegularFile.h"
#include "imaging/streamformat.h"

// Buffer sizes of the viewer (FrameBuffers.h): one record of at most
// RawBufferSize bytes, and frames of at most Pixels16Count 10- or 12-bit
// samples or RawBufferSize 8-bit samples. A header's StreamStatus names a
// StreamFormat of the image library.
constexpr std::uint32_t RawBufferSize = FrameBufferSize;

// Whether the frames a header describes fit the viewer's buffers: width and
// height not negative and width x height (64-bit) within Pixels16Count
// samples for 10- and 12-bit frames, RawBufferSize for 8-bit and compressed
// ones. A StreamStatus no stream format has is never rendered, so any size
// passes.
bool HeaderFitsBuffers(const RAWVideoHeader& header);

// How reading a frame record ended.
enum class TRecordRead {
  Done,       // N bytes read
  EndOfFile,  // no complete byte count left
  Truncated,  // fewer than N bytes left (the record's bytes read are kept)
  TooLong,    // N exceeds the record buffer; nothing read, position kept
  Short,      // N bytes read, fewer than the header's frame needs
  Failed      // no file, or the system refused a read or a seek
};

class TRAWFile {
 public:
  // Opens an existing regular file for reading (a folder, FIFO or device is
  // refused without blocking). Closes a file open before.
  bool Open(const QString& path);
  void Close();
  bool IsOpen() const { return file_.IsOpen(); }

  // As TRegularFile::Read.
  std::int64_t Read(void* buffer, std::int64_t size);
  bool Seek(std::int64_t position);
  std::int64_t Position() const;

  // Reads one frame record into buffer (capacity bytes): its byte count N,
  // then N bytes. `bytes` receives the count of frame bytes actually read.
  TRecordRead ReadRecord(std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t& bytes);

 private:
  TRegularFile file_;
};

#endif
