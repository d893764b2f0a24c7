// Shared pieces of the export tests: independent tools (ImageMagick,
// ffprobe, ffmpeg) run through the shell, the records of a RAW file, and
// pictures as the B, G, R bytes an AVI frame holds.
#ifndef VIEWER_TESTS_EXPORTTESTSUPPORT_H
#define VIEWER_TESTS_EXPORTTESTSUPPORT_H

#include <QProcess>
#include <QStandardPaths>

#include <string>

#include "viewer/tests/ViewerTestSupport.h"

// Standard output of a program (standard error is dropped).
inline QByteArray RunTool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.setStandardErrorFile(QProcess::nullDevice());
  process.start(program, arguments);
  process.waitForFinished(60000);
  return process.readAllStandardOutput();
}

inline bool HaveTool(const char* name) {
  return !QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty();
}

// The frames of a RAW file's complete records.
inline std::vector<std::vector<std::uint8_t>> RecordsOf(const QString& path) {
  const std::vector<std::uint8_t> file = ReadBytes(path);
  std::vector<std::vector<std::uint8_t>> records;
  std::size_t at = RAWVideoHeaderSize;
  while (at + RAWFrameRecordPrefixSize <= file.size()) {
    const std::uint32_t n = GetRAWRecordLength(file.data() + at);
    at += RAWFrameRecordPrefixSize;
    if (file.size() - at < n) break;
    records.emplace_back(file.begin() + std::ptrdiff_t(at), file.begin() + std::ptrdiff_t(at + n));
    at += n;
  }
  return records;
}

// A picture's pixels as B, G, R bytes, rows packed, top row first.
inline QByteArray BGRBytes(const QImage& picture) {
  QByteArray bytes;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) {
      const QRgb p = picture.pixel(x, y);
      bytes.append(char(qBlue(p))).append(char(qGreen(p))).append(char(qRed(p)));
    }
  return bytes;
}

// ImageMagick's count of differing pixels between two image files ("0":
// identical).
inline QString DifferingPixels(const QString& a, const QString& b) {
  QProcess process;
  process.start(QStringLiteral("compare"),
                {QStringLiteral("-metric"), QStringLiteral("AE"), a, b, QStringLiteral("null:")});
  process.waitForFinished(60000);
  return QString::fromLatin1(process.readAllStandardError()).trimmed();
}

#endif
