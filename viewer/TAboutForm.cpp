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
#include <initializer_list>

#include "common/ControlFactories.h"
#include "common/Dialogs.h"
#include "common/TextWidths.h"

TAboutForm* AboutForm = nullptr;

namespace {

constexpr int ClientWidth = 320;
constexpr int ClientHeight = 155;
constexpr int StripHeight = 10;
// The column of texts right of the picture, as designed.
constexpr int TextLeft = 118;
constexpr int TextWidth = 200;
// The OK button's left edge, as designed: kept at the same distance from the
// right edge when the column widens.
constexpr int OkLeft = 240;
const QColor StripColour(215, 217, 232);

QLabel* PlacedLabel(QWidget* parent, const char* name, const QString& text, const QRect& place) {
  return Placed(MakeLabel(parent, name, text), place);
}

// A label of the text column: its design width, at `top`.
QLabel* ColumnLabel(QWidget* parent, const char* name, const QString& text, int top, int height) {
  return PlacedLabel(parent, name, text, QRect(TextLeft, top, TextWidth, height));
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
  Label1 = ColumnLabel(panel, "Label1", QStringLiteral("QDV-47B5 Viewer and Convertor"), 8, 16);
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);
  Label3 = ColumnLabel(panel, "Label3", QString(), 26, 14);
  Label5 = ColumnLabel(panel, "Label5", QString(), 40, 14);
  Label_OEM = ColumnLabel(panel, "Label_OEM", QString(), 58, 14);
  Label4 =
      ColumnLabel(panel, "Label4", QStringLiteral("RAW video viewer and AVI converter"), 72, 14);
  URL = ColumnLabel(panel, "URL", QString(), 88, 14);
  URL->setCursor(Qt::PointingHandCursor);
  lbSystemInfo = PlacedLabel(panel, "lbSystemInfo", QStringLiteral("System info..."),
                             QRect(TextLeft, 110, 90, 14));
  lbSystemInfo->setCursor(Qt::PointingHandCursor);
  lbVersionInfo = PlacedLabel(panel, "lbVersionInfo", QStringLiteral("Version info..."),
                              QRect(TextLeft, 110, 90, 14));
  lbVersionInfo->setVisible(false);
  lbVersionInfo->setEnabled(false);
  SpeedButton1 = Placed(Named(new QToolButton(panel), "SpeedButton1"), QRect(OkLeft, 104, 70, 22));
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
  const std::initializer_list<QLabel*> texts = {Label1, Label3, Label5, Label_OEM, Label4, URL};
  int column = TextWidth;
  for (QLabel* label : texts) column = std::max(column, WidthForText(label, label->text()));
  for (QLabel* label : texts) label->resize(column, label->height());
  const int width = ClientWidth + column - TextWidth;
  setFixedSize(width, ClientHeight);
  panel_->resize(width, panel_->height());
  // The OK button keeps its place at the right edge.
  SpeedButton1->move(width - (ClientWidth - OkLeft), SpeedButton1->y());
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
