#include "common/FileDialogs.h"

#include <QFileDialog>
#include <QFileInfo>

#include "common/Dialogs.h"

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

namespace {
// Qt's own folder dialog, which also takes a typed folder that does not
// exist yet where the plain dialog refuses it with "Directory not found".
class TFolderChooser : public QFileDialog {
 public:
  TFolderChooser(QWidget* owner, const QString& caption, const QString& start)
      : QFileDialog(owner, caption, start) {
    SetUpFileDialog(*this);
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly);
  }

  // The folder chosen, empty after Cancel.
  QString Run() {
    if (!RunFileDialog(*this)) return {};
    return newFolder_.isEmpty() ? selectedFiles().value(0) : newFolder_;
  }

 protected:
  void accept() override {
    const QString typed = selectedFiles().value(0);
    if (typed.isEmpty() || QFileInfo::exists(typed)) {
      QFileDialog::accept();
      return;
    }
    newFolder_ = typed;
    QDialog::accept();
  }

 private:
  QString newFolder_;
};
}  // namespace

QString ChooseFolderOrNew(QWidget* owner, const QString& caption, const QString& start) {
  return TFolderChooser(owner, caption, start).Run();
}

FileDialogRunner SetFileDialogRunner(FileDialogRunner runner) {
  FileDialogRunner previous = std::move(Runner());
  Runner() = std::move(runner);
  return previous;
}
