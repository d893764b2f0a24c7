#include "common/KeypadZoomKeys.h"

#include <QAction>

#include <utility>

void ShowKeypadZoomKeys(QAction* zoomIn, QAction* zoomOut, QAction* zoomOriginal) {
  const std::pair<QAction*, const char*> items[] = {
      {zoomIn, "Num +"}, {zoomOut, "Num -"}, {zoomOriginal, "Num *"}};
  for (const auto& [action, keys] : items) {
    // A menu shows the part of the text after a tab in place of the shortcut.
    const QString caption = action->text().section(QLatin1Char('\t'), 0, 0);
    action->setText(caption + QLatin1Char('\t') + QString::fromLatin1(keys));
  }
}
