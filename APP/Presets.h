// Preset files: the program's main settings as lines of Name=Value.
//
// The main window's close writes "qdv47b5.pre" in the current directory, the
// settings dialog's creation reads it back, and the File menu's "Load
// Preset" and "Save Preset" work on files the user chooses. Saving reads the
// camera, the settings dialog's controls and the controller; loading pushes
// the values into the camera, the controller and the controls, whose
// handlers run as for a user's change.
#ifndef APP_PRESETS_H
#define APP_PRESETS_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>

class TMainForm;

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
  Stopped,  // an error box was shown; the entries before it stay applied
  Refused   // a capture runs: nothing applied
};

// `form` is the main window, whose state is saved and which "WinIconic"
// makes visible on loading.
TPresetSave SavePresetFile(TMainForm* form, const QString& fileName);
TPresetLoad LoadPresetFile(TMainForm* form, const QString& fileName);

#endif
