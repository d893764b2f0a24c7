#include "FileDialogs.h"

#include <QFileDialog>

#include "Dialogs.h"

namespace {
FileDialogRunner& Runner() {
  static FileDialogRunner runner;
  return runner;
}
}  // namespace

void SetUpFileDialog(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::ReadOnly);
}

bool RunFileDialog(QFileDialog& dialog) {
  // Above the settings dialog too, which stays on top while it is shown.
  OpenAbove(dialog, ModalOwner());
  if (Runner()) return Runner()(dialog);
  return dialog.exec() == QDialog::Accepted;
}

QString ChooseExistingFolder(QWidget* owner, const QString& caption, const QString& start) {
  QFileDialog dialog(owner, caption, start);
  SetUpFileDialog(dialog);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (!RunFileDialog(dialog) || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().constFirst();
}

FileDialogRunner SetFileDialogRunner(FileDialogRunner runner) {
  FileDialogRunner previous = std::move(Runner());
  Runner() = std::move(runner);
  return previous;
}
