// What the captures keep between runs: the frame limit, the file counters,
// the RAW frame pool's size, and whether a capture loop runs now.
#ifndef APP_CAPTURESETTINGS_H
#define APP_CAPTURESETTINGS_H

#include <cstdint>

struct TCaptureSettings {
  // An AVI or RAW capture loop is running; clearing it ends the loop at its
  // next pass.
  bool CaptureRunning = false;
  // Passes of a capture loop, 0 = unlimited.
  std::int32_t Frames2Capture = 0;
  // First numbers tried for frame, AVI and RAW files.
  std::int32_t FrameFileCounter = 0;
  std::int32_t AVICounter = 0;
  std::int32_t RAWCounter = 0;
  // The RAW frame pool: its blocks and their size in MiB.
  std::int32_t PoolBlockCount = 32;
  std::int32_t PoolBlockSizeMB = 16;
};

#endif
