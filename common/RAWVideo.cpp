#include "common/RAWVideo.h"

#include "platform/fdwrite.h"

bool WriteRAWVideoData(int file, const void* data, std::uint64_t size) {
  return platform::WriteFully(file, data, size);
}
