// Small pieces that give Qt widgets the behaviour the forms were designed
// with: controls made with their name and design value, radio groups with an item index whose
// change handler runs for code and user alike, track-bar ranges that refuse a minimum above the
// maximum, double-click handlers on labels and group boxes, the tool-bar pictures drawn from a
// glyph, and widths that fit the texts a control can show.
#ifndef COMMON_VCLCONTROLS_H
#define COMMON_VCLCONTROLS_H

#include <QGroupBox>
#include <QIcon>
#include <QRect>
#include <QStringList>
#include <Qt>

#include <functional>

class QAction;
class QButtonGroup;
class QCheckBox;
class QColor;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QStatusBar;
class QTabWidget;
class QWidget;

// --- Control factories: each control gets its name and its design value. ---

// The widget, named: forms and tests find their controls by these names.
template <class Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text);
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption);
QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& caption, bool checked);
QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& text, bool readOnly);
// A drop-down list of the items with the index selected.
QComboBox* MakeComboBox(QWidget* parent, const char* name, const QStringList& items, int index);
QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& caption);
// A track bar moving one step per page key. Vertical track bars have their
// minimum at the top.
QSlider* MakeTrackBar(QWidget* parent, const char* name, Qt::Orientation orientation, int minimum,
                      int maximum, int position);
QRadioButton* MakeRadioButton(QWidget* parent, const char* name, const QString& caption);
// A page added to the page control under the caption.
QWidget* MakeTab(QTabWidget* pages, const char* name, const QString& caption);

// The widget at its designed place, for boxes without a layout.
template <class Widget>
Widget* Placed(Widget* widget, const QRect& place) {
  widget->setGeometry(place);
  return widget;
}

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
