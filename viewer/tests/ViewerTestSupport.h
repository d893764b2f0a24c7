// Shared pieces of the viewer's tests: the application object, a main form
// as the program creates it, messages caught instead of shown, the sample
// files, hand-made RAW files and the image library's picture of a frame.
#ifndef VIEWER_TESTS_VIEWERTESTSUPPORT_H
#define VIEWER_TESTS_VIEWERTESTSUPPORT_H

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QStringList>
#include <QTemporaryDir>

#include <cstring>
#include <memory>
#include <ostream>
#include <vector>

#include "common/Messages.h"
#include "common/RAWVideo.h"
#include "common/VideoPanel.h"
#include "common/tests/QtTestEnvironment.h"
#include "imaging.h"
#include "viewer/MainForm.h"
#include "viewer/RenderSteps.h"
#include "viewer/tests/samples/SampleFiles.h"

// Texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

// One QApplication for the whole test program.
class ViewerEnvironment : public TQtTestEnvironment<QApplication> {
 public:
  ViewerEnvironment() : TQtTestEnvironment("viewer_tests") {}
};

inline QString SamplePath(const QString& name) {
  return QDir(QStringLiteral(QDV_VIEWER_SAMPLES)).filePath(name);
}

inline std::vector<std::uint8_t> ReadBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray data = file.readAll();
  return std::vector<std::uint8_t>(data.begin(), data.end());
}

// A RAW file written by hand: a header and records.
struct TRecordSpec {
  std::uint32_t count;              // the record's byte count N
  std::vector<std::uint8_t> bytes;  // the bytes that follow (fewer: truncated)
};

inline RAWVideoHeader MakeHeader(std::int32_t status, std::int32_t width, std::int32_t height) {
  RAWVideoHeader h{};
  std::memcpy(h.Signature, RAWVideoSignature, 4);
  std::memcpy(h.BayerMatrix, RAWVideoBayerMatrix, 4);
  h.StreamStatus = status;
  h.Width = width;
  h.Height = height;
  h.FrameRate = 25.0;
  return h;
}

inline void WriteRAWFile(const QString& path, const void* header, std::size_t headerBytes,
                         const std::vector<TRecordSpec>& records) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(static_cast<const char*>(header), qint64(headerBytes));
  for (const TRecordSpec& r : records) {
    char count[RAWFrameRecordPrefixSize];
    PutRAWRecordLength(count, r.count);
    file.write(count, RAWFrameRecordPrefixSize);
    file.write(reinterpret_cast<const char*>(r.bytes.data()), qint64(r.bytes.size()));
  }
}

inline void WriteRAWFile(const QString& path, const RAWVideoHeader& header,
                         const std::vector<TRecordSpec>& records) {
  WriteRAWFile(path, &header, sizeof header, records);
}

inline TRecordSpec Record(std::vector<std::uint8_t> bytes) {
  return {static_cast<std::uint32_t>(bytes.size()), std::move(bytes)};
}

// Tables a picture is rendered with: the 16-to-8-bit lookup (null: i >> 4
// or i >> 2) and the per-channel RAW tables, red, green, blue (null: none).
struct TRenderTables {
  const std::uint8_t* lookup = nullptr;
  const std::uint16_t* raw[3] = {nullptr, nullptr, nullptr};
};

// The image library's picture of a frame: decode by the stream format, the
// RAW tables, the lookup, the GBRG member of the mode, then the correction;
// as opaque 32-bit pixels like the panel's copy.
inline QImage LibraryPicture(std::int32_t status, const std::vector<std::uint8_t>& frame, int width,
                             int height, int mode, ColorCorrection* correction,
                             const TRenderTables& tables = {}) {
  const int count = width * height;
  std::vector<std::uint8_t> samples(count);
  if (status == 1)
    std::memcpy(samples.data(), frame.data(), std::min<std::size_t>(count, frame.size()));
  if (status == 3)
    DecodeCompressedLines(frame.data(), static_cast<std::uint32_t>(frame.size()), width, height,
                          samples.data());
  if (status == 2 || status == 4) {
    std::vector<std::uint16_t> wide(count);
    (status == 2 ? Unpack12Bit : Unpack10Bit)(frame.data(), width, height, wide.data());
    if (tables.raw[0] != nullptr)
      ApplyRAWChannelTables(wide.data(), width, height, tables.raw[2], tables.raw[1],
                            tables.raw[0]);
    for (int i = 0; i < count; ++i)
      samples[i] = tables.lookup != nullptr
                       ? tables.lookup[wide[i]]
                       : static_cast<std::uint8_t>(wide[i] >> (status == 2 ? 4 : 2));
  }
  if (mode < 1 || mode > 7) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int i = 0; i < count; ++i)
      image.setPixel(i % width, i / width, qRgb(samples[i], samples[i], samples[i]));
    return image;
  }
  std::vector<std::uint8_t> bgr(std::size_t(count) * 3);
  if (Debayer8Member(mode, DEBAYER_8TO24, BAYER_GBRG)(samples.data(), width, height, bgr.data()) ==
      0)
    return QImage();
  if (mode == 7) width /= 2, height /= 2;
  if (correction != nullptr) ApplyColorCorrection(correction, bgr.data(), width, height);
  QImage image(width, height, QImage::Format_RGB32);
  for (int i = 0; i < width * height; ++i)
    image.setPixel(i % width, i / width, qRgb(bgr[3 * i + 2], bgr[3 * i + 1], bgr[3 * i]));
  return image;
}

// The main form as the program creates it (no command-line file), shown,
// with every message caught.
class ViewerTest : public ::testing::Test {
 protected:
  ViewerTest()
      : sink_([this](MessageKind, const QString& caption, const QString& text) {
          messages.append(caption + QStringLiteral("|") + text);
        }) {
    form = std::make_unique<TAppForm>();
    AppForm = form.get();
    form->FormCreate({QStringLiteral("QDVView")});
    form->resize(640, 480);
    form->show();
  }
  ~ViewerTest() override {
    form->FormClose();
    form.reset();
  }

  void Open(const QString& path) {
    form->Session.FileName = path;
    form->Session.OpenRAWFile();
  }
  // Opens a file and shows record k (1 is the first).
  void OpenAt(const QString& path, int k) {
    Open(path);
    for (int i = 0; i < k; ++i) ASSERT_TRUE(form->Session.ReadNextFrame());
  }
  QImage Shown() const { return form->VideoPanel->Picture(); }
  QString TakeMessages() {
    const QString all = messages.join(QStringLiteral("\n"));
    messages.clear();
    return all;
  }

  QTemporaryDir dir;
  QStringList messages;
  std::unique_ptr<TAppForm> form;

 private:
  ScopedMessageSink sink_;
};

#endif
