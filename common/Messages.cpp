#include "Messages.h"

#include <QApplication>
#include <QMessageBox>

namespace {
MessageSink& Sink() {
  static MessageSink sink;
  return sink;
}
}  // namespace

MessageSink SetMessageSink(MessageSink sink) {
  MessageSink previous = std::move(Sink());
  Sink() = std::move(sink);
  return previous;
}

void ShowMessageBox(MessageKind kind, const QString& caption, const QString& text) {
  if (Sink()) {
    Sink()(kind, caption, text);
    return;
  }
  const QString title = caption.isEmpty() ? QApplication::applicationName() : caption;
  if (kind == MessageKind::Error)
    QMessageBox::critical(QApplication::activeWindow(), title, text);
  else
    QMessageBox::information(QApplication::activeWindow(), title, text);
}
