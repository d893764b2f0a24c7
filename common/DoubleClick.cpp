#include "common/DoubleClick.h"

#include <QEvent>
#include <QMouseEvent>
#include <QObject>
#include <QWidget>

#include <utility>

namespace {
class TDoubleClickFilter : public QObject {
 public:
  TDoubleClickFilter(QWidget* widget, std::function<void()> handler)
      : QObject(widget), handler_(std::move(handler)) {
    widget->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      handler_();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> handler_;
};
}  // namespace

void OnDoubleClick(QWidget* widget, std::function<void()> handler) {
  new TDoubleClickFilter(widget, std::move(handler));
}
