// A RAW capture file read back as the viewer reads it: the whole records of
// one frame size after the header, and whether the file ends with the last.
#ifndef APP_TESTS_RAW_RECORDS_H
#define APP_TESTS_RAW_RECORDS_H

#include <QFile>

#include <cstdint>

#include "common/RAWVideo.h"

struct RAWRecords {
  RAWRecords(const QString& name, std::uint32_t frameBytes) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return;
    const QByteArray all = file.readAll();
    const auto size = static_cast<std::uint64_t>(all.size());
    std::uint64_t at = RAWVideoHeaderSize;
    while (at + RAWFrameRecordPrefixSize <= size) {
      const std::uint32_t length = GetRAWRecordLength(all.constData() + at);
      if (length != frameBytes || size - at - RAWFrameRecordPrefixSize < length) break;
      at += RAWFrameRecordPrefixSize + length;
      ++count;
    }
    endsWhole = at == size;
  }
  int count = 0;
  bool endsWhole = false;
};

#endif
