// Checks of a tool bar's pictures as the user sees them: every button's
// rendered pixels differ from every other's, and each word picture shows
// letters of a height a user reads, whole.
#ifndef COMMON_TESTS_TOOLBARPICTURES_H
#define COMMON_TESTS_TOOLBARPICTURES_H

#include <QImage>
#include <QRect>
#include <QStringList>
#include <QToolBar>
#include <QToolButton>

#include <cstdlib>

// The rectangle of the pixels that differ from the button's background
// (its corner pixel): the picture's ink.
inline QRect InkOf(const QImage& image) {
  const QRgb background = image.pixel(0, 0);
  QRect ink;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      if (std::abs(qGray(p) - qGray(background)) > 48) ink |= QRect(x, y, 1, 1);
    }
  return ink;
}

// Empty when every button of the tool bar is drawn unlike every other and
// each button named in `words` shows ink at least `letterHeight` pixels
// high, clear of the button's edges; else what is wrong.
inline QString ToolBarPicturesProblem(const QToolBar& toolBar, const QStringList& words,
                                      int letterHeight) {
  QString problems;
  const QList<QToolButton*> buttons = toolBar.findChildren<QToolButton*>();
  QList<QImage> drawn;
  for (QToolButton* button : buttons) drawn << button->grab().toImage();
  for (qsizetype i = 0; i < buttons.size(); ++i) {
    for (qsizetype j = i + 1; j < buttons.size(); ++j)
      if (drawn[i] == drawn[j])
        problems += buttons[i]->objectName() + " looks like " + buttons[j]->objectName() + "; ";
    if (!words.contains(buttons[i]->objectName())) continue;
    const QRect ink = InkOf(drawn[i]);
    if (ink.height() < letterHeight || ink.left() == 0 || ink.right() == drawn[i].width() - 1)
      problems += QStringLiteral("%1 ink %2x%3 at %4 in %5x%6; ")
                      .arg(buttons[i]->objectName())
                      .arg(ink.width())
                      .arg(ink.height())
                      .arg(ink.left())
                      .arg(drawn[i].width())
                      .arg(drawn[i].height());
  }
  return problems;
}

#endif
