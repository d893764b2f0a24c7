// The sizes of the frame buffers both programs decode and render through,
// one definition: a frame as the camera delivers it or a RAW file's record
// holds it (FrameBufferSize bytes: one 1920 x 1080 frame of 16-bit samples
// with room to spare), its unpacked 10- or 12-bit samples, its 8-bit samples
// (FrameBufferSize of them) and the 24-bit picture.
#ifndef COMMON_FRAMEBUFFERS_H
#define COMMON_FRAMEBUFFERS_H

#include <cstdint>

constexpr std::uint32_t FrameBufferSize = 4393504;
constexpr std::uint32_t Pixels16Count = FrameBufferSize / 2;
constexpr std::uint32_t Image24Size = 3 * FrameBufferSize;

#endif
