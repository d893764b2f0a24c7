// A group box of radio buttons with an item index, whose change handler runs
// for code and user alike.
#ifndef COMMON_RADIOGROUP_H
#define COMMON_RADIOGROUP_H

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

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

#endif
