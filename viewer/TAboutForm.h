// The viewer's about box: name, version, build date, the developer's line
// and web address, a picture, and a way to the system information.
#ifndef VIEWER_TABOUTFORM_H
#define VIEWER_TABOUTFORM_H

#include <QDialog>

#include "viewer/MainForm.h"

class QLabel;
class QToolButton;

class TAboutForm : public QDialog, public IViewerWindow {
  Q_OBJECT
 public:
  explicit TAboutForm(TAppForm* appForm, QWidget* parent = nullptr);

  void FormActivate();
  // Esc (27) closes the box; other keys are ignored. Returns whether the key
  // was used.
  bool FormKeyDown(int key);
  void ShowNonModal() override { show(); }
  int ShowModal() override;

  QLabel* Label1 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label_OEM = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* URL = nullptr;
  QLabel* Image1 = nullptr;
  QToolButton* SpeedButton1 = nullptr;
  QLabel* lbSystemInfo = nullptr;
  QLabel* lbVersionInfo = nullptr;

 public slots:
  void SpeedButton1Click();
  void URLClick();
  void lbSystemInfoClick();

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Widens the column of texts, and the box with it, where a text needs
  // more than the designed width at the font in use.
  void FitTextColumn();

  TAppForm* appForm_;
  QWidget* panel_ = nullptr;
};

extern TAboutForm* AboutForm;

#endif
