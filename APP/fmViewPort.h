// The region-of-interest dialog. Placeholder: an empty dialog.
#ifndef APP_FMVIEWPORT_H
#define APP_FMVIEWPORT_H

#include <QDialog>

class TViewPortForm : public QDialog {
  Q_OBJECT

 public:
  explicit TViewPortForm(QWidget* parent = nullptr);
  void FormCreate();
};

extern TViewPortForm* ViewPortForm;

#endif
