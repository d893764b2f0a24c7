// Double-click handlers on controls that have no such signal (labels, group
// boxes).
#ifndef COMMON_DOUBLECLICK_H
#define COMMON_DOUBLECLICK_H

#include <functional>

class QWidget;

// Runs handler when the widget is double-clicked with the left button.
void OnDoubleClick(QWidget* widget, std::function<void()> handler);

#endif
