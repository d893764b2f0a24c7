// Tool-bar pictures of short words ("RAW", "AVI") and the tool button that
// shows them whole, the same in both programs.
#ifndef COMMON_TOOLPICTURES_H
#define COMMON_TOOLPICTURES_H

#include <QIcon>
#include <QToolButton>

class QColor;
class QString;

// A word in bold at a size a user reads, on a picture as tall as the tool
// bar's pictures and as wide as the word: a word narrowed into their
// square reads as a smudge, and two such words cannot be told apart.
QIcon MakeWordPicture(const QString& word, const QColor& colour);

// A tool-bar button. It draws a word picture at the picture's own width,
// where a plain button in a tool bar narrows every picture into the tool
// bar's square; any other picture keeps the tool bar's size.
class TToolButton : public QToolButton {
 public:
  using QToolButton::QToolButton;

 protected:
  void initStyleOption(QStyleOptionToolButton* option) const override;
};

#endif
