#include "APP/forms/fmAbout.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <initializer_list>

#include "APP/forms/fmMain.h"
#include "common/ControlFactories.h"
#include "common/Dialogs.h"
#include "common/TextWidths.h"

TAboutForm* AboutForm = nullptr;

namespace {

constexpr int ClientWidth = 318;
constexpr int ClientHeight = 153;
// The column of texts left of the picture, as designed.
constexpr int TextWidth = 196;
constexpr int StripHeight = 10;
const QColor StripColour(215, 218, 232);

const char* const ProgramName = "QDV-47B5x Camera Application Program";
const char* const VersionText = "Version 2.0";
const char* const NoticeText = "All rights reserved.";
const char* const MakerText = "QDV Imaging Systems";
const char* const MakerAddress = "https://www.example.com/qdv47b5";
const char* const VersionTool = "Buildcard.exe";
// The system's information program, and its stand-in where that does not
// exist.
const char* const SystemInfoPrograms[] = {"msinfo32.exe", "hardinfo"};

QWidget* ColouredArea(QWidget* parent, const char* name, const QRect& geometry,
                      const QColor& colour) {
  auto* area = Placed(Named(new QWidget(parent), name), geometry);
  QPalette colours = area->palette();
  colours.setColor(QPalette::Window, colour);
  area->setPalette(colours);
  area->setAutoFillBackground(true);
  return area;
}

void DefaultLaunch(const QString& target, bool isUrl) {
  if (isUrl) {
    QDesktopServices::openUrl(QUrl(target));
  } else {
    QProcess::startDetached(target, {});
  }
}

}  // namespace

// --- Link label ----------------------------------------------------------------------

TLinkLabel::TLinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setCursor(Qt::PointingHandCursor);
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, Qt::blue);
  setPalette(colours);
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
}

void TLinkLabel::mousePressEvent(QMouseEvent* event) { event->accept(); }

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    emit clicked();
}

// --- Form ---------------------------------------------------------------------------------

TAboutForm::TAboutForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), Launch(DefaultLaunch) {
  setObjectName(QStringLiteral("AboutForm"));
  setWindowTitle(QStringLiteral("About"));
  QFont font(QStringLiteral("Tahoma"));
  font.setPointSize(8);
  setFont(font);
  // A one-pixel frame around the client area.
  setFixedSize(ClientWidth + 2, ClientHeight + 2);
  QPalette frame = palette();
  frame.setColor(QPalette::Window, Qt::darkGray);
  setPalette(frame);
  setAutoFillBackground(true);
  setFocusPolicy(Qt::StrongFocus);

  CreateStrips();
  CreateTexts();
  CreateLinks();
  FitTextColumn();

  // The box previews every key: no control takes the keyboard focus.
  for (QWidget* child : findChildren<QWidget*>()) child->setFocusPolicy(Qt::NoFocus);
  // Dragging: the background, the strips, the picture and the plain texts.
  for (QWidget* source : std::initializer_list<QWidget*>{
           Panel, TopStrip, BottomStrip, Image1, Label1, Label3, Label4, Label5, Label_OEM}) {
    source->installEventFilter(this);
  }
}

void TAboutForm::CreateStrips() {
  TopStrip = ColouredArea(this, "TopStrip", QRect(1, 1, ClientWidth, StripHeight), StripColour);
  BottomStrip =
      ColouredArea(this, "BottomStrip",
                   QRect(1, 1 + ClientHeight - StripHeight, ClientWidth, StripHeight), StripColour);
  Panel = ColouredArea(this, "Panel",
                       QRect(1, 1 + StripHeight, ClientWidth, ClientHeight - 2 * StripHeight),
                       Qt::white);
}

void TAboutForm::CreateTexts() {
  auto text = [this](QLabel*& label, const char* name, const QString& caption, const QRect& at) {
    label = Placed(MakeLabel(Panel, name, caption), at);
  };
  text(Label1, "Label1", QString::fromLatin1(ProgramName), QRect(8, 4, 196, 30));
  Label1->setWordWrap(true);
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);
  text(Label3, "Label3", QString::fromLatin1(VersionText), QRect(8, 36, 196, 14));
  text(Label5, "Label5", QStringLiteral("Compiled "), QRect(8, 51, TextWidth, 14));
  text(Label4, "Label4", QString::fromLatin1(NoticeText), QRect(8, 66, 196, 14));
  text(Label_OEM, "Label_OEM", QString(), QRect(8, 81, 196, 14));

  Image1 = Placed(MakeLabel(Panel, "Image1", QString()), QRect(ClientWidth - 108, 4, 100, 100));
  Image1->setPixmap(QPixmap(QStringLiteral(":/fmAbout.jpg"), "JPG"));
}

void TAboutForm::CreateLinks() {
  auto link = [this](TLinkLabel*& label, const char* name, const QString& caption, const QRect& at,
                     void (TAboutForm::*handler)()) {
    label = Placed(Named(new TLinkLabel(caption, Panel), name), at);
    connect(label, &TLinkLabel::clicked, this, handler);
  };
  link(URL, "URL", QString(), QRect(8, 96, 196, 14), &TAboutForm::URLClick);
  link(lbVersionInfo, "lbVersionInfo", QStringLiteral("Version info..."), QRect(8, 115, 90, 14),
       &TAboutForm::lbVersionInfoClick);
  link(lbSystemInfo, "lbSystemInfo", QStringLiteral("System info..."), QRect(104, 115, 90, 14),
       &TAboutForm::lbSystemInfoClick);

  SpeedButton1 = Placed(MakeButton(Panel, "SpeedButton1", QStringLiteral("OK")),
                        QRect(ClientWidth - 83, 108, 75, 22));
  SpeedButton1->setFlat(true);
  SpeedButton1->setAutoDefault(false);
  connect(SpeedButton1, &QPushButton::clicked, this, &TAboutForm::SpeedButton1Click);
  // Every key closes the box (keyPressEvent); Enter presses no button.
  RemoveDefaultButtons(*this);
}

void TAboutForm::FormCreate() { AppCommand->AboutView = this; }

int TAboutForm::ShowModal() {
  if (MainForm != nullptr) {
    QRect placed = geometry();
    placed.moveCenter(MainForm->geometry().center());
    move(placed.topLeft());
  }
  // Above the settings dialog too, which stays on top while it is shown.
  OpenAbove(*this, ModalOwner());
  return exec();
}

// --- Handlers ------------------------------------------------------------------------------

void TAboutForm::InitVersionLabel() {
  Label3->setText(QString::fromLatin1(VersionText));
  const QDateTime built = QFileInfo(QCoreApplication::applicationFilePath()).lastModified();
  const QLocale locale = QLocale::system();
  Label5->setText(QStringLiteral("Compiled ") +
                  locale.toString(built.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                  locale.toString(built.time(), QLocale::LongFormat));
  Label_OEM->setText(QString::fromLatin1(MakerText));
  URL->setText(QString::fromLatin1(MakerAddress));
  FitTextColumn();
}

void TAboutForm::FitTextColumn() {
  int column = TextWidth;
  const std::initializer_list<QLabel*> texts{Label3, Label5, Label4, Label_OEM, URL};
  for (QLabel* label : texts) column = std::max(column, WidthForText(label, label->text()));
  for (QLabel* label : texts) label->resize(column, label->height());
  const int width = ClientWidth + column - TextWidth;
  setFixedSize(width + 2, ClientHeight + 2);
  for (QWidget* area : {TopStrip, BottomStrip, Panel}) area->resize(width, area->height());
  // The picture and the OK button keep their places at the right edge.
  Image1->move(width - 108, Image1->y());
  SpeedButton1->move(width - 83, SpeedButton1->y());
}

void TAboutForm::SpeedButton1Click() { accept(); }

void TAboutForm::FormKeyDown(int /*key*/) { accept(); }

void TAboutForm::URLClick() { Launch(URL->text(), true); }

void TAboutForm::lbVersionInfoClick() {
  // Started without a check: the tool is not part of the program.
  Launch(
      QCoreApplication::applicationDirPath() + QLatin1Char('/') + QString::fromLatin1(VersionTool),
      false);
}

void TAboutForm::lbSystemInfoClick() {
  for (const char* program : SystemInfoPrograms) {
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(program));
    if (!path.isEmpty()) {
      Launch(path, false);
      return;
    }
  }
}

void TAboutForm::PanelMouseDown(QPoint position) {
  dragging_ = true;
  grab_ = position;
}

void TAboutForm::PanelMouseMove(QPoint position) {
  if (!dragging_ || moving_) return;
  // The move itself must not re-enter this handler.
  moving_ = true;
  move(pos() + position - grab_ - QPoint(1, 1));
  moving_ = false;
}

void TAboutForm::PanelMouseUp() {
  if (!dragging_) return;
  unsetCursor();
  dragging_ = false;
}

bool TAboutForm::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) InitVersionLabel();
  return QDialog::event(event);
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      PanelMouseDown(static_cast<QMouseEvent*>(event)->position().toPoint());
      return true;
    case QEvent::MouseMove:
      PanelMouseMove(static_cast<QMouseEvent*>(event)->position().toPoint());
      return true;
    case QEvent::MouseButtonRelease: PanelMouseUp(); return true;
    default: return QDialog::eventFilter(watched, event);
  }
}

void TAboutForm::keyPressEvent(QKeyEvent* event) {
  FormKeyDown(event->key());
  event->accept();
}

// A click on the box's own area (its frame) closes it, like "OK".
void TAboutForm::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) SpeedButton1Click();
}
