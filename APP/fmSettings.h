// The settings dialog. For now it holds only what the controller writes or
// reads: the statistics read-outs, the demosaicing choice, the image format
// and the capture folder; the tabs come with the settings dialog itself.
#ifndef APP_FMSETTINGS_H
#define APP_FMSETTINGS_H

#include <QDialog>
#include <QLineEdit>

#include "Commands.h"

class TSettingsForm : public QDialog, public ISettingsView {
  Q_OBJECT

 public:
  explicit TSettingsForm(QWidget* parent = nullptr);

  // Creation handler, run by the program block once the global SettingsForm
  // refers to this dialog.
  void FormCreate();

  // ISettingsView.
  void ShowNonModal() override;
  bool IsShown() const override;
  void SetDialogEnabled(bool enabled) override;
  void SetDebayerSelection(int mode) override;
  int SaveImageMode() const override;
  QString CapturePath() const override;
  void SetStatisticsText(const QString& editName, const QString& text) override;
  void SetExternalInputStatus(bool input1, bool input2) override;

  int DebayerSelection() const { return debayerSelection_; }

  bool Updating = false;

 private:
  int debayerSelection_ = 0;
  QLineEdit* edPath;
};

extern TSettingsForm* SettingsForm;

#endif
