// Preset files: the program's main settings as lines of Name=Value.
//
// The main window's close writes "qdv47b5.pre" in the current directory, the
// settings dialog's creation reads it back, and the File menu's "Load
// Preset" and "Save Preset" work on files the user chooses. A file is read
// and checked whole into a TPresetValues before anything is applied, and
// written from one. Saving takes the values from the camera, the settings
// dialog (which collects its controls) and the controller; loading hands
// them to the settings dialog, which applies them to its controls, the
// camera and the controller as a user's changes would.
#ifndef APP_PRESETS_H
#define APP_PRESETS_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>

#include "QDV47B5API.h"

class TMainForm;

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

enum class TPresetSave {
  Stored,              // the file was written (through a temporary file)
  CameraNotAnswering,  // a camera read failed: the file was left as it was
  WriteFailed          // the file could not be written: the old one is intact
};

enum class TPresetLoad {
  Loaded,   // every entry applied
  Stopped,  // the file could not be read or holds a wrong entry: an error
            // box was shown and nothing was applied
  Refused   // a capture runs: nothing applied
};

// `form` is the main window, whose state is saved and which "WinIconic"
// makes visible on loading. A failed write gives its reason in `why`.
TPresetSave SavePresetFile(TMainForm* form, const QString& fileName, QString* why = nullptr);
TPresetLoad LoadPresetFile(TMainForm* form, const QString& fileName);

// The preset the program starts from and ends with, in the current
// directory.
QString StartUpPresetName();

// The closing save of the start-up preset. A file that the start-up load
// could not read or apply (`startUpRefused`) is left exactly as it is, so
// that the settings it holds are not replaced; where none is, it is
// written. A save that does not happen says so in one line on standard
// error, as no window is left to show it.
void SaveClosingPreset(TMainForm* form, bool startUpRefused);

// "Save Preset" on a chosen name: true when the file may be written there.
// An existing file is replaced only when the user says so; a name that
// holds no regular file (a folder, a FIFO, a device) is refused with a
// message.
bool MayStorePresetAt(const QString& path);

#endif
