// The camera application's AVI file: one uncompressed video file at a time,
// written frame by frame by the AVI capture.
#ifndef APP_AVIFILE_H
#define APP_AVIFILE_H

#include <QString>

#include <cstdint>

// Creates, where no file (nor link) of that name exists, a new AVI of
// width x height frames of `bits` bits per pixel (24: B, G, R; 8: grey),
// frames per second rate / scale. False when the file cannot be created; nothing is open then.
bool AVIOpen(const QString& name, std::int32_t width, std::int32_t height, std::int32_t bits,
             std::int32_t scale, std::int32_t rate);
// Writes width x height x bits / 8 bytes from pixels (rows packed, top row
// first) as the next key frame. False when no file is open, the frame would
// pass the size limit or the write fails; the frame index then stays, so
// the next frame takes its place.
bool AVIAddFrame(const void* pixels);
// Whether a file is open and one more frame fits under the size limit.
bool AVINextFrameFits();
// Completes and closes the file; false when none was open or the file could
// not be completed (it then keeps AVIFramesKept() frames, without an index).
bool AVIClose();
// The frames the file closed last holds.
std::uint32_t AVIFramesKept();

// The largest AVI file in bytes (never more than 2,000,000,000): files of
// later AVIOpen calls stay within it.
std::uint64_t AVISizeLimit();
void SetAVISizeLimit(std::uint64_t bytes);

#endif
