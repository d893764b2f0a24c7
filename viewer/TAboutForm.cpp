#include "viewer/TAboutForm.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPixmap>
#include <QProcess>
#include <QToolButton>
#include <QUrl>

#include <algorithm>

#include "common/Dialogs.h"
#include "common/VclControls.h"

TAboutForm* AboutForm = nullptr;

namespace {

constexpr int ClientWidth = 320;
constexpr int ClientHeight = 155;
constexpr int StripHeight = 10;
// The column of texts right of the picture, as designed.
constexpr int TextLeft = 118;
constexpr int TextWidth = 200;
const QColor StripColour(215, 217, 232);

QLabel* PlacedLabel(QWidget* parent, const char* name, const QString& text, const QRect& place) {
  return Placed(MakeLabel(parent, name, text), place);
}

}  // namespace

TAboutForm::TAboutForm(TAppForm* appForm, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), appForm_(appForm) {
  setObjectName(QStringLiteral("AboutForm"));
  setFixedSize(ClientWidth, ClientHeight);
  // The white panel between two strips along the top and bottom edges.
  QPalette colours = palette();
  colours.setColor(QPalette::Window, StripColour);
  setPalette(colours);
  setAutoFillBackground(true);
  auto* panel = panel_ = Placed(Named(new QWidget(this), "Panel1"),
                                QRect(0, StripHeight, ClientWidth, ClientHeight - 2 * StripHeight));
  QPalette white = panel->palette();
  white.setColor(QPalette::Window, Qt::white);
  panel->setPalette(white);
  panel->setAutoFillBackground(true);

  Image1 = PlacedLabel(panel, "Image1", QString(), QRect(8, 12, 100, 100));
  Image1->setPixmap(QPixmap(QStringLiteral(":/viewer/about.jpg")));
  Label1 = PlacedLabel(panel, "Label1", QStringLiteral("QDV-47B5 Viewer and Convertor"),
                       QRect(118, 8, 200, 16));
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);
  Label3 = PlacedLabel(panel, "Label3", QString(), QRect(118, 26, 200, 14));
  Label5 = PlacedLabel(panel, "Label5", QString(), QRect(118, 40, 200, 14));
  Label_OEM = PlacedLabel(panel, "Label_OEM", QString(), QRect(118, 58, 200, 14));
  Label4 = PlacedLabel(panel, "Label4", QStringLiteral("RAW video viewer and AVI converter"),
                       QRect(118, 72, 200, 14));
  URL = PlacedLabel(panel, "URL", QString(), QRect(118, 88, 200, 14));
  URL->setCursor(Qt::PointingHandCursor);
  lbSystemInfo =
      PlacedLabel(panel, "lbSystemInfo", QStringLiteral("System info..."), QRect(118, 110, 90, 14));
  lbSystemInfo->setCursor(Qt::PointingHandCursor);
  lbVersionInfo = PlacedLabel(panel, "lbVersionInfo", QStringLiteral("Version info..."),
                              QRect(118, 110, 90, 14));
  lbVersionInfo->setVisible(false);
  lbVersionInfo->setEnabled(false);
  SpeedButton1 = Placed(Named(new QToolButton(panel), "SpeedButton1"), QRect(240, 104, 70, 22));
  SpeedButton1->setText(QStringLiteral("OK"));
  connect(SpeedButton1, &QToolButton::clicked, this, &TAboutForm::SpeedButton1Click);
  FitTextColumn();
  URL->installEventFilter(this);
  lbSystemInfo->installEventFilter(this);
  if (appForm_ != nullptr) appForm_->AboutView = this;
}

void TAboutForm::FormActivate() {
  Label3->setText(QStringLiteral("Version 1.0"));
  const QDateTime built = QFileInfo(QCoreApplication::applicationFilePath()).lastModified();
  Label5->setText(QStringLiteral("Compiled ") +
                  QLocale::system().toString(built, QLocale::ShortFormat));
  Label_OEM->setText(QStringLiteral("Quilo Vision Systems"));
  URL->setText(QStringLiteral("http://www.quilo-vision.example"));
  FitTextColumn();
}

void TAboutForm::FitTextColumn() {
  int column = TextWidth;
  for (QLabel* label : {Label1, Label3, Label5, Label_OEM, Label4, URL})
    column = std::max(column, WidthForText(label, label->text()));
  for (QLabel* label : {Label1, Label3, Label5, Label_OEM, Label4, URL})
    label->resize(column, label->height());
  const int width = ClientWidth + column - TextWidth;
  setFixedSize(width, ClientHeight);
  panel_->resize(width, panel_->height());
  // The OK button keeps its place at the right edge.
  SpeedButton1->move(width - (ClientWidth - 240), SpeedButton1->y());
}

bool TAboutForm::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) FormActivate();
  return QDialog::event(e);
}

int TAboutForm::ShowModal() {
  FormActivate();  // first: the texts decide the box's width
  if (appForm_ != nullptr) move(appForm_->geometry().center() - rect().center());
  // Above the settings dialog too, which stays on top while it is shown.
  OpenAbove(*this, ModalOwner());
  return exec();
}

void TAboutForm::SpeedButton1Click() { accept(); }

bool TAboutForm::FormKeyDown(int key) {
  if (key != 27) return false;
  accept();
  return true;
}

void TAboutForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && FormKeyDown(27)) return;
  QDialog::keyPressEvent(event);
}

// Where no handler for the address or no such program exists, nothing
// starts and nothing is reported.
void TAboutForm::URLClick() { QDesktopServices::openUrl(QUrl(URL->text())); }

void TAboutForm::lbSystemInfoClick() {
  QProcess::startDetached(QStringLiteral("msinfo32.exe"), {});
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
    if (watched == URL) URLClick();
    if (watched == lbSystemInfo) lbSystemInfoClick();
  }
  return QDialog::eventFilter(watched, e);
}
