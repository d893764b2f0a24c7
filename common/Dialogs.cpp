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

namespace {
// The program's shown form that stays on top, other than `except`; null
// when none is shown.
QWidget* ShownTopmostWindow(const QWidget* except) {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    // Forms only: pop-up menus and tool tips are no owners.
    const Qt::WindowType type = window->windowType();
    if (window != except && window->isVisible() && (type == Qt::Window || type == Qt::Dialog) &&
        window->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
      return window;
  }
  return nullptr;
}
}  // namespace

QWidget* ModalOwner() {
  if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal->isVisible())
    return modal;
  if (QWidget* topmost = ShownTopmostWindow(nullptr)) return topmost;
  return QApplication::activeWindow();
}

void OpenAbove(QWidget& window, const QWidget* owner) {
  if (owner == nullptr || owner->window() == &window) return;
  const QWindow* above = owner->window()->windowHandle();
  if (above == nullptr) return;
  window.winId();  // the native window that carries the stacking hint
  window.windowHandle()->setTransientParent(const_cast<QWindow*>(above));
}

void ShowInSight(QWidget& window) {
  if (QWidget* topmost = ShownTopmostWindow(&window)) {
    const QWindow* handle = window.windowHandle();
    // The window manager reads whom a window stays above when the window is
    // mapped: one shown beneath the topmost window goes out and comes back.
    if (window.isVisible() && handle != nullptr &&
        handle->transientParent() != topmost->windowHandle())
      window.hide();
    OpenAbove(window, topmost);
  }
  window.show();
  window.raise();
  window.activateWindow();
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
