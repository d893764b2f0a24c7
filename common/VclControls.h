// Small pieces that give Qt widgets the behaviour the forms were designed
// with: radio groups with an item index whose change handler runs for code
// and user alike, track-bar ranges that refuse a minimum above the maximum,
// double-click handlers on labels and group boxes, and the tool-bar
// pictures drawn from a glyph.
#ifndef COMMON_VCLCONTROLS_H
#define COMMON_VCLCONTROLS_H

#include <QGroupBox>
#include <QIcon>
#include <QStringList>

#include <functional>

class QAction;
class QButtonGroup;
class QColor;
class QRadioButton;
class QSlider;
class QWidget;

// A group box of radio buttons, one per item, with one selection or none.
// Click() is emitted whenever an item becomes selected, by the user or by
// SetItemIndex, and not when the selection is cleared.
class TRadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);

  // The selected item, -1 for none.
  int ItemIndex() const;
  // Selects an item; an index outside the items clears the selection.
  void SetItemIndex(int index);
  int Count() const;
  QRadioButton* Item(int index) const;

 signals:
  void Click();

 private:
  QButtonGroup* buttons_;
};

// Track-bar bounds: a minimum above the current maximum, or a maximum below
// the current minimum, is ignored (Qt would move the other bound). A bound
// that moves past the position moves the position, which runs the track
// bar's change handler.
void SetTrackBarMin(QSlider* trackBar, int minimum);
void SetTrackBarMax(QSlider* trackBar, int maximum);

// Runs handler when the widget is double-clicked with the left button.
void OnDoubleClick(QWidget* widget, std::function<void()> handler);

// A 16 x 16 tool-bar picture: the glyph in bold, one letter large, a short
// word small and narrowed where needed so that it fits whole, in the colour
// given.
QIcon MakeGlyph(const QString& glyph, const QColor& colour);

// Menus name the keys of the zoom items as a user reads them on the keypad,
// "Num +", "Num -" and "Num *", instead of the text of their shortcuts
// (which may name another key the shortcut also serves, or read "Num++").
void ShowKeypadZoomKeys(QAction* zoomIn, QAction* zoomOut, QAction* zoomOriginal);

#endif
