// The file dialogs of both programs, set up and shown in one place.
//
// Every dialog is Qt's own (the same on every desktop) and read-only. Qt's
// dialog otherwise deletes the selected file, or a whole folder tree, on
// Delete and "Yes": permanently, and on the GUI thread, which stops
// answering until it is done. Neither program deletes or renames anything
// through a dialog.
#ifndef COMMON_FILEDIALOGS_H
#define COMMON_FILEDIALOGS_H

#include <QString>

#include <functional>

class QFileDialog;
class QWidget;

// Gives a dialog the options every file dialog of both programs carries.
void SetUpFileDialog(QFileDialog& dialog);

// Shows a dialog and waits for it; true when the user chose OK. The dialog
// opens above the window the user works in, wide enough for a typical line
// of its list and the places of its side bar, and leaves no completion list
// behind when it closes.
bool RunFileDialog(QFileDialog& dialog);

// A folder chosen by the user, starting at `start`: an existing one, or a
// typed path of one that does not exist yet (the caller makes it: the
// read-only dialog has no button for a new folder); empty on cancel.
QString ChooseFolderOrNew(QWidget* owner, const QString& caption, const QString& start);

// Tests replace the way dialogs are shown, to look at each dialog and answer
// it (an empty runner: the dialogs again); returns the runner it replaced.
using FileDialogRunner = std::function<bool(QFileDialog& dialog)>;
FileDialogRunner SetFileDialogRunner(FileDialogRunner runner);

class ScopedFileDialogRunner {
 public:
  explicit ScopedFileDialogRunner(FileDialogRunner runner)
      : previous_(SetFileDialogRunner(std::move(runner))) {}
  ~ScopedFileDialogRunner() { SetFileDialogRunner(std::move(previous_)); }
  ScopedFileDialogRunner(const ScopedFileDialogRunner&) = delete;
  ScopedFileDialogRunner& operator=(const ScopedFileDialogRunner&) = delete;

 private:
  FileDialogRunner previous_;
};

#endif
