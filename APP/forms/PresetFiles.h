// Saving and loading presets: the main window's close writes "qdv47b5.pre"
// in the current directory, the settings dialog's creation reads it back,
// and the File menu's "Load Preset" and "Save Preset" work on files the
// user chooses. Saving takes the values from the camera, the settings
// dialog (which collects its controls) and the controller; loading hands
// them to the settings dialog, which applies them to its controls, the
// camera and the controller as a user's changes would.
#ifndef APP_FORMS_PRESETFILES_H
#define APP_FORMS_PRESETFILES_H

#include <QString>

#include "APP/camera/Presets.h"

class TMainForm;

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
