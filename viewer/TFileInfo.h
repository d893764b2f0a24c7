// The file-information window: the open file's recording parameters, listed
// afresh each time the window becomes active.
#ifndef VIEWER_TFILEINFO_H
#define VIEWER_TFILEINFO_H

#include <QDialog>

#include "viewer/MainForm.h"

class QPlainTextEdit;

class TFileInfo : public QDialog, public IViewerWindow {
  Q_OBJECT
 public:
  explicit TFileInfo(TAppForm* appForm, QWidget* parent = nullptr);

  void FormActivate();
  void ShowNonModal() override;
  int ShowModal() override { return exec(); }
  // Lists the file open now when the window is shown.
  void FileChanged() override;

  QPlainTextEdit* Memo = nullptr;

 protected:
  bool event(QEvent* e) override;

 private:
  TAppForm* appForm_;
};

extern TFileInfo* FileInfo;

#endif
