#ifndef COMMON_TEXTWIDTHS_H
#define COMMON_TEXTWIDTHS_H

#include <QStringList>

class QLabel;
class QStatusBar;
class QWidget;

// Widths of labels and edits that show whole texts. The designed widths
// assume a narrower font than most systems have; a number cut short reads
// as a smaller one, so a control grows to its widest text instead.

// Width a label or an edit needs to show the text whole at its font, its
// frame, margins, indent and text cursor included.
int WidthForText(const QWidget* control, const QString& text);
// Fixes the control's width at the designed width, or at what the widest of
// the texts needs where that is more.
void FitWidth(QWidget* control, int designWidth, const QStringList& widestTexts);
// The same as a minimum width, for controls that a layout may widen.
void FitMinimumWidth(QWidget* control, int designWidth, const QStringList& widestTexts);
// Adds a panel to a status bar at the designed width or its widest text's;
// a stretching panel (the last) also takes the room left to the bar's edge.
void AddStatusPanel(QStatusBar* bar, QLabel* panel, int designWidth, const QStringList& widestTexts,
                    bool stretch);

#endif
