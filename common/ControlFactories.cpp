#include "common/ControlFactories.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text) {
  return Named(new QLabel(text, parent), name);
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
  return Named(new QPushButton(caption, parent), name);
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& caption, bool checked) {
  auto* box = Named(new QCheckBox(caption, parent), name);
  box->setChecked(checked);
  return box;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& text, bool readOnly) {
  auto* edit = Named(new QLineEdit(text, parent), name);
  edit->setReadOnly(readOnly);
  return edit;
}

QComboBox* MakeComboBox(QWidget* parent, const char* name, const QStringList& items, int index) {
  auto* box = Named(new QComboBox(parent), name);
  box->addItems(items);
  box->setCurrentIndex(index);
  return box;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& caption) {
  return Named(new QGroupBox(caption, parent), name);
}

QSlider* MakeTrackBar(QWidget* parent, const char* name, Qt::Orientation orientation, int minimum,
                      int maximum, int position) {
  auto* bar = Named(new QSlider(orientation, parent), name);
  bar->setRange(minimum, maximum);
  bar->setValue(position);
  bar->setPageStep(1);
  if (orientation == Qt::Vertical) {
    bar->setInvertedAppearance(true);
    bar->setInvertedControls(true);
  }
  return bar;
}

QRadioButton* MakeRadioButton(QWidget* parent, const char* name, const QString& caption) {
  return Named(new QRadioButton(caption, parent), name);
}

QWidget* MakeTab(QTabWidget* pages, const char* name, const QString& caption) {
  auto* tab = Named(new QWidget(pages), name);
  pages->addTab(tab, caption);
  return tab;
}
