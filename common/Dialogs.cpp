#include "common/Dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>
#include <QWindow>

namespace {

// Esc as the dialog's designers meant it. Sees the key when no control of
// the dialog took it, before QDialog's own handling would hide the window.
class TEscapeFilter : public QObject {
 public:
  TEscapeFilter(QDialog& dialog, EscapeKey escape)
      : QObject(&dialog), dialog_(dialog), escape_(escape) {
    dialog.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != &dialog_ || event->type() != QEvent::KeyPress ||
        static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape)
      return QObject::eventFilter(watched, event);
    if (escape_ == EscapeKey::Closes) dialog_.close();
    return true;
  }

 private:
  QDialog& dialog_;
  const EscapeKey escape_;
};

}  // namespace

QWidget* ModalOwner() {
  if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal->isVisible())
    return modal;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    // Forms only: pop-up menus and tool tips are no owners.
    const Qt::WindowType type = window->windowType();
    if (window->isVisible() && (type == Qt::Window || type == Qt::Dialog) &&
        window->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
      return window;
  }
  return QApplication::activeWindow();
}

void OpenAbove(QWidget& window, const QWidget* owner) {
  if (owner == nullptr || owner->window() == &window) return;
  const QWindow* above = owner->window()->windowHandle();
  if (above == nullptr) return;
  window.winId();  // the native window that carries the stacking hint
  window.windowHandle()->setTransientParent(const_cast<QWindow*>(above));
}

void RemoveDefaultButtons(QDialog& dialog) {
  for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }
}

void SetDialogKeys(QDialog& dialog, EscapeKey escape) {
  RemoveDefaultButtons(dialog);
  new TEscapeFilter(dialog, escape);
}
