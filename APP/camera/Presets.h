// Preset files: the program's main settings as lines of Name=Value, read
// and checked whole into a TPresetValues and written from one. Where the
// values come from and go to (the camera, the settings dialog, the
// controller, the main window) is forms/PresetFiles.h.
#ifndef APP_PRESETS_H
#define APP_PRESETS_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>

#include "QDV47B5API.h"

// Every entry of a preset file as a typed field. The capture folder and the
// frame limit are edit texts and stay text; flags are "1" or "0" in the
// file, and any other number reads as off.
struct TPresetValues {
  QString CaptureFilePath;     // "Capture File Path"
  std::int32_t Gain = 0;       // the gain track bar's position
  std::uint32_t Exposure = 0;  // rows
  std::uint32_t ExpMin = 0;
  std::uint32_t ExpMax = 0;
  double ExpMs = 0.0;
  ViewPortRecord ViewPort{};    // "Width" ... "res6"
  std::uint32_t Frequency = 0;  // PixelClockCode
  std::int32_t OutMode = 0;     // output-mode choice
  std::int32_t IPDelay = 0;
  std::int32_t BayerAlgIndex = 0;
  std::int32_t SaveImageMode = 0;
  std::int32_t ZoomValue = 1;
  bool Gamma = false;
  bool SDRAM = false;
  double FrameRate = 0.0;  // with the high-speed mode off
  bool UseEscKey = true;
  QString Frames2Capture;
  std::int32_t WinState = 0;  // 0 normal, 1 minimised, 2 maximised
  bool WinIconic = false;

  bool operator==(const TPresetValues& other) const;
};

// The file's bytes for the values, entries in their written order.
QByteArray PresetText(const TPresetValues& values);

// Reads a whole file's text into values. False when an entry the load
// needs is missing or is not a number of its kind; `why` is then the
// conversion error of the first such entry in the load's order, and values
// is left as it was.
bool ParsePresetText(const QByteArray& text, TPresetValues& values, QString& why);

// Converts decimal text to a signed 32-bit integer: on success stores it and
// returns true, otherwise stores nothing and returns false.
bool SafeStrToInt(const QString& text, std::int32_t& value);

// The Name=Value entries of one preset file, in file order. Names are
// matched without regard to letter case; an entry with an empty value is
// not kept.
class TPresetList {
 public:
  void Add(const QString& name, const QString& value);
  // The value of the first entry of that name; false when there is none.
  bool Find(const QString& name, QString& value) const;
  // The file's bytes: one line per entry, each ended by CR LF.
  QByteArray Text() const;
  // Lines ended by CR LF, LF or CR; a line without "=" holds no entry.
  static TPresetList FromText(const QByteArray& text);

 private:
  QList<QPair<QString, QString>> entries_;
};

// Reads a preset file's bytes: only a regular file of a preset's size (a
// FIFO would block the start-up, a device or a huge file fill the memory).
// False with the reason in `why` otherwise.
bool ReadPresetFileText(const QString& fileName, QByteArray& text, QString& why);

// Writes the text beside the old file and renames it over it, so that a
// failed write, a full disk included, never destroys the previous preset.
// Only a regular file is replaced, never a FIFO or a device; a preset
// reached through a link is replaced where the link points. False with the
// reason in `why` otherwise.
bool StorePresetText(const QString& fileName, const QByteArray& text, QString& why);

#endif
