#include "common/TextWidths.h"

#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionFrame>

namespace {

// Room a QLabel's text does not get: frame, contents margins, margin and the
// indent Qt gives a framed label on its aligned side.
int LabelChrome(const QLabel* label, const QFontMetrics& metrics) {
  int indent = label->indent();
  if (indent < 0)
    indent = label->frameWidth() > 0 ? metrics.horizontalAdvance(QLatin1Char('x')) / 2 : 0;
  const QMargins margins = label->contentsMargins();
  return margins.left() + margins.right() + 2 * label->margin() + indent;
}

// A QLineEdit's text sits 2 pixels in from its contents on either side,
// needs a pixel for the cursor and room for glyphs that overhang.
int LineEditWidth(const QLineEdit* edit, const QFontMetrics& metrics, const QString& text) {
  constexpr int HorizontalMargin = 2;
  const QMargins textMargins = edit->textMargins();
  const QMargins margins = edit->contentsMargins();
  const int overhang = qMax(0, -metrics.minLeftBearing()) + qMax(0, -metrics.minRightBearing());
  const int inner = metrics.horizontalAdvance(text) + 1 + overhang + 2 * HorizontalMargin +
                    textMargins.left() + textMargins.right() + margins.left() + margins.right();
  QStyleOptionFrame option;
  option.initFrom(edit);
  option.lineWidth = edit->hasFrame()
                         ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
                         : 0;
  return edit->style()
      ->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(inner, metrics.height()), edit)
      .width();
}

int WidthForTexts(const QWidget* control, int designWidth, const QStringList& texts) {
  int width = designWidth;
  for (const QString& text : texts) width = qMax(width, WidthForText(control, text));
  return width;
}

}  // namespace

int WidthForText(const QWidget* control, const QString& text) {
  const QFontMetrics metrics(control->font());
  if (const auto* edit = qobject_cast<const QLineEdit*>(control))
    return LineEditWidth(edit, metrics, text);
  const int advance = metrics.horizontalAdvance(text);
  if (const auto* label = qobject_cast<const QLabel*>(control))
    return advance + LabelChrome(label, metrics);
  return advance;
}

void FitWidth(QWidget* control, int designWidth, const QStringList& widestTexts) {
  control->setFixedWidth(WidthForTexts(control, designWidth, widestTexts));
}

void FitMinimumWidth(QWidget* control, int designWidth, const QStringList& widestTexts) {
  control->setMinimumWidth(WidthForTexts(control, designWidth, widestTexts));
}

void AddStatusPanel(QStatusBar* bar, QLabel* panel, int designWidth, const QStringList& widestTexts,
                    bool stretch) {
  if (stretch) {
    FitMinimumWidth(panel, designWidth, widestTexts);
    bar->addWidget(panel, 1);
    return;
  }
  FitWidth(panel, designWidth, widestTexts);
  bar->addWidget(panel);
}
