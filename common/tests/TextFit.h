// Checks that a control shows a text whole at its present size and font:
// the text's advance from QFontMetrics against the room the style leaves
// for text inside the control. A walk over a form checks every static text
// (labels, edits, buttons, check boxes, radio buttons, group-box titles and
// tab titles) as it stands; tests push the widest values into the controls
// whose texts change.
#ifndef COMMON_TESTS_TEXTFIT_H
#define COMMON_TESTS_TEXTFIT_H

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTabBar>
#include <QToolButton>

namespace textfit {

inline int Advance(const QWidget* w, const QString& text) {
  return QFontMetrics(w->font()).horizontalAdvance(text);
}

inline int Metric(const QWidget* w, QStyle::PixelMetric metric) {
  return w->style()->pixelMetric(metric, nullptr, w);
}

// Room for the text of a label: its contents less margin and the indent a
// framed label gets on its aligned side.
inline int LabelRoom(const QLabel* label) {
  int indent = label->indent();
  if (indent < 0)
    indent = label->frameWidth() > 0
                 ? QFontMetrics(label->font()).horizontalAdvance(QLatin1Char('x')) / 2
                 : 0;
  return label->contentsRect().width() - 2 * label->margin() - indent;
}

// Room for the text of an edit without scrolling: the style's contents
// rectangle less the text margins, 2 pixels each side and the cursor.
inline int EditRoom(const QLineEdit* edit) {
  QStyleOptionFrame option;
  option.initFrom(edit);
  option.rect = edit->rect();
  option.lineWidth = edit->hasFrame() ? Metric(edit, QStyle::PM_DefaultFrameWidth) : 0;
  const QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
  const QFontMetrics metrics(edit->font());
  const int overhang = qMax(0, -metrics.minLeftBearing()) + qMax(0, -metrics.minRightBearing());
  return contents.width() - edit->textMargins().left() - edit->textMargins().right() - 4 - 1 -
         overhang;
}

inline int ButtonRoom(const QAbstractButton* button) {
  if (qobject_cast<const QCheckBox*>(button) != nullptr)
    return button->width() - Metric(button, QStyle::PM_IndicatorWidth) -
           Metric(button, QStyle::PM_CheckBoxLabelSpacing);
  if (qobject_cast<const QRadioButton*>(button) != nullptr)
    return button->width() - Metric(button, QStyle::PM_ExclusiveIndicatorWidth) -
           Metric(button, QStyle::PM_RadioButtonLabelSpacing);
  return button->width() - 2 * Metric(button, QStyle::PM_DefaultFrameWidth);
}

// Empty when the control shows the text whole, else what is cut.
inline QString Cut(const QWidget* w, const QString& text) {
  int room = w->width();
  if (const auto* label = qobject_cast<const QLabel*>(w))
    room = LabelRoom(label);
  else if (const auto* edit = qobject_cast<const QLineEdit*>(w))
    room = EditRoom(edit);
  else if (const auto* button = qobject_cast<const QAbstractButton*>(w))
    room = ButtonRoom(button);
  const int need = Advance(w, text);
  if (need <= room) return {};
  return QStringLiteral("%1 \"%2\": needs %3 px, has %4")
      .arg(w->objectName(), text)
      .arg(need)
      .arg(room);
}

// Sets a changing control's text and checks it.
template <class Control>
QString CutWhenShown(Control* control, const QString& text) {
  control->setText(text);
  return Cut(control, text);
}

// Every static text of a form as it stands; labels showing pictures, rich
// text or wrapped text, and tool buttons showing only icons are left out.
inline QStringList CutTexts(const QWidget* form) {
  QStringList cut;
  auto add = [&cut](const QString& c) {
    if (!c.isEmpty()) cut << c;
  };
  for (const QLabel* l : form->findChildren<QLabel*>()) {
    if (l->isVisibleTo(form) && !l->wordWrap() && l->textFormat() != Qt::RichText &&
        !l->text().isEmpty())
      add(Cut(l, l->text()));
  }
  for (const QLineEdit* e : form->findChildren<QLineEdit*>()) {
    if (e->isVisibleTo(form) && e->parentWidget() != nullptr &&
        e->parentWidget()->inherits("QAbstractSpinBox") == false && !e->text().isEmpty())
      add(Cut(e, e->text()));
  }
  for (const QAbstractButton* b : form->findChildren<QAbstractButton*>()) {
    const auto* tool = qobject_cast<const QToolButton*>(b);
    if (tool != nullptr &&
        (tool->toolButtonStyle() == Qt::ToolButtonIconOnly || !tool->icon().isNull()))
      continue;
    if (b->isVisibleTo(form) && !b->text().isEmpty()) add(Cut(b, b->text()));
  }
  for (const QGroupBox* g : form->findChildren<QGroupBox*>()) {
    // The style draws the title inside the box with a small inset each side.
    if (g->isVisibleTo(form) && Advance(g, g->title()) + 8 > g->width())
      add(QStringLiteral("%1 title \"%2\"").arg(g->objectName(), g->title()));
  }
  for (const QTabBar* t : form->findChildren<QTabBar*>()) {
    for (int i = 0; i < t->count(); ++i) {
      if (Advance(t, t->tabText(i)) > t->tabRect(i).width() - Metric(t, QStyle::PM_TabBarTabHSpace))
        add(QStringLiteral("tab \"%1\"").arg(t->tabText(i)));
    }
  }
  return cut;
}

}  // namespace textfit

#endif
