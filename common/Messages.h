// Message boxes: the one way both programs show a message to the user.
//
// A message is an OK-only modal box. Tests (and anything else that must not
// block on a modal box) replace the box with a sink that receives each
// message instead; ScopedMessageSink restores the previous one.
#ifndef COMMON_MESSAGES_H
#define COMMON_MESSAGES_H

#include <QString>

#include <functional>

enum class MessageKind {
  Information,  // the plain message box of ShowMessage / MessageBox calls: text, no icon
  Error         // the box the GUI library shows for an error (a conversion error, say)
};

// Shows text in a box with caption (an empty caption: the application's
// name), above every window of the program.
void ShowMessageBox(MessageKind kind, const QString& caption, const QString& text);

// A plain information box captioned with the application's name.
inline void ShowMessage(const QString& text) {
  ShowMessageBox(MessageKind::Information, QString(), text);
}
// The GUI library's error box captioned with the application's name.
inline void ShowErrorMessage(const QString& text) {
  ShowMessageBox(MessageKind::Error, QString(), text);
}

// Asks a question with the buttons Yes and No, No the default (and the
// answer of Esc); true for Yes. With a message sink set and no question
// sink, the question goes to the message sink and is answered No.
bool AskYesNo(const QString& text);

using MessageSink =
    std::function<void(MessageKind kind, const QString& caption, const QString& text)>;

// Replaces the boxes with sink (an empty sink: the boxes again); returns the
// sink it replaced.
MessageSink SetMessageSink(MessageSink sink);

class ScopedMessageSink {
 public:
  explicit ScopedMessageSink(MessageSink sink) : previous_(SetMessageSink(std::move(sink))) {}
  ~ScopedMessageSink() { SetMessageSink(std::move(previous_)); }
  ScopedMessageSink(const ScopedMessageSink&) = delete;
  ScopedMessageSink& operator=(const ScopedMessageSink&) = delete;

 private:
  MessageSink previous_;
};

// Replaces the question box with sink, which answers it (an empty sink:
// the box again); returns the sink it replaced.
using QuestionSink = std::function<bool(const QString& text)>;
QuestionSink SetQuestionSink(QuestionSink sink);

class ScopedQuestionSink {
 public:
  explicit ScopedQuestionSink(QuestionSink sink) : previous_(SetQuestionSink(std::move(sink))) {}
  ~ScopedQuestionSink() { SetQuestionSink(std::move(previous_)); }
  ScopedQuestionSink(const ScopedQuestionSink&) = delete;
  ScopedQuestionSink& operator=(const ScopedQuestionSink&) = delete;

 private:
  QuestionSink previous_;
};

#endif
