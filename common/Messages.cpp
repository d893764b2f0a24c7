#include "common/Messages.h"

#include <QApplication>
#include <QMessageBox>

#include "common/Dialogs.h"

namespace {
MessageSink& Sink() {
  static MessageSink sink;
  return sink;
}
QuestionSink& Questions() {
  static QuestionSink sink;
  return sink;
}
}  // namespace

QuestionSink SetQuestionSink(QuestionSink sink) {
  QuestionSink previous = std::move(Questions());
  Questions() = std::move(sink);
  return previous;
}

bool AskYesNo(const QString& text) {
  if (Questions()) return Questions()(text);
  // Where boxes are replaced, nothing may wait for an answer: the question
  // is told and the safe answer given.
  if (Sink()) {
    Sink()(MessageKind::Information, QString(), text);
    return false;
  }
  QMessageBox box(QMessageBox::Question, QApplication::applicationName(), text,
                  QMessageBox::Yes | QMessageBox::No);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  OpenAbove(box, ModalOwner());
  return box.exec() == QMessageBox::Yes;
}

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
  // A plain box carries no icon; the error box the stop sign.
  QMessageBox box(kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon, title,
                  text, QMessageBox::Ok);
  // Without a parent, so that a box never takes on a disabled window's
  // state; stacked above every window of the program instead.
  OpenAbove(box, ModalOwner());
  box.exec();
}
