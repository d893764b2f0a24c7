// The about box. Placeholder: an empty modal dialog.
#ifndef APP_FMABOUT_H
#define APP_FMABOUT_H

#include <QDialog>

#include "Commands.h"

class TAboutForm : public QDialog, public IModalView {
  Q_OBJECT

 public:
  explicit TAboutForm(QWidget* parent = nullptr);
  void FormCreate();

  // IModalView.
  int ShowModal() override;
};

extern TAboutForm* AboutForm;

#endif
