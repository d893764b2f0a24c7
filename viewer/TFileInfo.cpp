#include "viewer/TFileInfo.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "common/Dialogs.h"

TFileInfo* FileInfo = nullptr;

TFileInfo::TFileInfo(TAppForm* appForm, QWidget* parent)
    : QDialog(parent, Qt::Dialog), appForm_(appForm) {
  setObjectName(QStringLiteral("FileInfo"));
  setWindowTitle(QStringLiteral("FileInfo"));
  setModal(false);
  Memo = new QPlainTextEdit(this);
  Memo->setObjectName(QStringLiteral("Memo"));
  Memo->setReadOnly(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Memo);
  resize(396, 213);
  SetDialogKeys(*this, EscapeKey::Closes);
  if (appForm_ != nullptr) appForm_->FileInfoView = this;
}

void TFileInfo::FormActivate() {
  if (appForm_ == nullptr) return;
  QStringList lines;
  appForm_->Session.ListFileInfo(lines);
  Memo->setPlainText(lines.join(QLatin1Char('\n')));
}

bool TFileInfo::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) FormActivate();
  return QDialog::event(e);
}

void TFileInfo::ShowNonModal() {
  // Centred on the main form.
  if (parentWidget() == nullptr && appForm_ != nullptr)
    move(appForm_->geometry().center() - rect().center());
  // Above the settings dialog too, which stays on top while it is shown:
  // never taking the keys unseen beneath it.
  ShowInSight(*this);
  FormActivate();
}

void TFileInfo::FileChanged() {
  if (isVisible()) FormActivate();
}
