// The about box: the program's name, version and build date, the maker's
// line and web address, and links to the version-information tool and the
// system's information program. Borderless; dragged by its background,
// picture and texts; any key or "OK" closes it.
#ifndef APP_FMABOUT_H
#define APP_FMABOUT_H

#include <QDialog>
#include <QLabel>
#include <QPoint>

#include <functional>

#include "APP/control/Commands.h"

class QPushButton;

// A label that is clicked like a link: hand cursor, and the mouse press is
// its own (it never reaches the panel below, so it does not drag the box).
class TLinkLabel : public QLabel {
  Q_OBJECT
 public:
  TLinkLabel(const QString& text, QWidget* parent);

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};

class TAboutForm : public QDialog, public IModalView {
  Q_OBJECT

 public:
  explicit TAboutForm(QWidget* parent = nullptr);
  void FormCreate();

  // IModalView: centred on the main window.
  int ShowModal() override;

  void InitVersionLabel();
  void SpeedButton1Click();
  void FormKeyDown(int key);
  void URLClick();
  void lbVersionInfoClick();
  void lbSystemInfoClick();
  void PanelMouseDown(QPoint position);
  void PanelMouseMove(QPoint position);
  void PanelMouseUp();

  // Starts a program or opens a document, silently when it cannot (tests
  // replace it). Arguments: what to start and whether it is a web address.
  std::function<void(const QString& target, bool isUrl)> Launch;

  QWidget* TopStrip = nullptr;
  QWidget* BottomStrip = nullptr;
  QWidget* Panel = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Label_OEM = nullptr;
  TLinkLabel* URL = nullptr;
  QLabel* Image1 = nullptr;
  QPushButton* SpeedButton1 = nullptr;
  TLinkLabel* lbVersionInfo = nullptr;
  TLinkLabel* lbSystemInfo = nullptr;

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void CreateStrips();
  void CreateTexts();
  void CreateLinks();
  // Widens the column of texts, and the box with it, where a text needs
  // more than the designed width at the font in use.
  void FitTextColumn();

  bool dragging_ = false;
  bool moving_ = false;
  QPoint grab_;
};

extern TAboutForm* AboutForm;

#endif
