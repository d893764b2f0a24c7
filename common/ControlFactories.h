// Controls made the way the forms were designed: each with its name (forms
// and tests find their controls by it) and its design value, and placed at
// its designed rectangle where a box has no layout.
#ifndef COMMON_CONTROLFACTORIES_H
#define COMMON_CONTROLFACTORIES_H

#include <QLatin1String>
#include <QRect>
#include <QStringList>
#include <Qt>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;
class QWidget;

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

#endif
