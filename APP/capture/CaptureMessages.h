// The messages the RAW and AVI capture loops show: an "ERROR!" box, and the
// ones for a file that could not be written (a full disk, a failing drive)
// or for memory that ran out, which say how many frames the file keeps.
#ifndef APP_CAPTUREMESSAGES_H
#define APP_CAPTUREMESSAGES_H

#include <QString>

#include <cstdint>

#include "common/Format.h"
#include "common/Messages.h"

inline void ShowCaptureError(const QString& text) {
  ShowMessageBox(MessageKind::Information, QStringLiteral("ERROR!"), text);
}

// The line that tells how many frames a file keeps after a capture ended
// early.
inline QString FramesStoredLine(std::uint64_t framesStored) {
  return FormatText("\n%llu frames stored.", static_cast<unsigned long long>(framesStored));
}

inline void ShowCaptureWriteError(const QString& fileName, std::uint64_t framesStored) {
  ShowCaptureError(QStringLiteral("Cannot write file : ") + fileName +
                   FramesStoredLine(framesStored));
}

// The memory for the frames ran out in the middle of a capture: the file
// keeps the frames before it.
inline void ShowCaptureMemoryError(std::uint64_t framesStored) {
  ShowCaptureError(QStringLiteral("Out of memory") + FramesStoredLine(framesStored));
}

#endif
