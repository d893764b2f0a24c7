// The messages the RAW and AVI capture loops show: an "ERROR!" box, and the
// one for a file that could not be written (a full disk, a failing drive),
// which says how many frames the file keeps.
#ifndef APP_CAPTUREMESSAGES_H
#define APP_CAPTUREMESSAGES_H

#include <QString>

#include <cstdint>

#include "common/Format.h"
#include "common/Messages.h"

inline void ShowCaptureError(const QString& text) {
  ShowMessageBox(MessageKind::Information, QStringLiteral("ERROR!"), text);
}

inline void ShowCaptureWriteError(const QString& fileName, std::uint64_t framesStored) {
  ShowCaptureError(
      QStringLiteral("Cannot write file : ") + fileName +
      FormatText("\n%llu frames stored.", static_cast<unsigned long long>(framesStored)));
}

#endif
