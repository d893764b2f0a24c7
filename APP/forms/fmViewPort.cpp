#include "APP/forms/fmViewPort.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include "APP/control/Commands.h"
#include "common/Dialogs.h"
#include "common/Format.h"
#include "common/Parse.h"
#include "common/TextWidths.h"

TViewPortForm* ViewPortForm = nullptr;

namespace {

constexpr int ApplyDelayMs = 1000;

// The predefined sizes, in list order.
struct PredefinedSize {
  const char* caption;
  std::int32_t sizeX;
  std::int32_t sizeY;
};
constexpr PredefinedSize PredefinedSizes[] = {{"320x180", 320, 180},   {"400x360", 400, 360},
                                              {"640x540", 640, 540},   {"768x576", 768, 576},
                                              {"960x540", 960, 540},   {"1024x720", 1024, 720},
                                              {"1440x900", 1440, 900}, {"1920x1080", 1920, 1080}};
constexpr int FullSensorIndex = 7;

// The box's colour, light blue-grey.
const QColor BoxColour(215, 218, 232);

std::int32_t RoundDown(std::int32_t value, std::int32_t step) { return value / step * step; }

std::optional<std::int32_t> EditNumber(const QString& text) {
  std::int32_t value = 0;
  if (!ParseInt32(text, value)) return std::nullopt;
  return value;
}

// Rounds to the nearest integer, halves to even.
int Nearest(double value) { return static_cast<int>(std::nearbyint(value)); }

}  // namespace

std::optional<TRegion> RegionFromTexts(const QString& offsetX, const QString& offsetY,
                                       const QString& sizeX, const QString& sizeY) {
  const auto ox = EditNumber(offsetX);
  const auto oy = EditNumber(offsetY);
  const auto sx = EditNumber(sizeX);
  const auto sy = EditNumber(sizeY);
  if (!ox || !oy || !sx || !sy) return std::nullopt;
  // The edits take digits only, so no value is negative.
  TRegion r;
  r.StartX = RoundDown(*ox, RegionStepX);
  r.StartY = RoundDown(*oy, RegionStepY);
  r.SizeX = std::min(RoundDown(*sx, RegionStepX), SensorWidth);
  r.SizeY = std::min(RoundDown(*sy, RegionStepY), SensorHeight);
  if (r.StartX + r.SizeX > SensorWidth) r.StartX = SensorWidth - r.SizeX;
  if (r.StartY + r.SizeY > SensorHeight) r.StartY = SensorHeight - r.SizeY;
  return r;
}

// --- Construction --------------------------------------------------------------------

TViewPortForm::TViewPortForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ViewPortForm"));
  setWindowTitle(QStringLiteral("ViewPort"));
  QFont font(QStringLiteral("Tahoma"));
  font.setPointSize(8);
  setFont(font);
  setFixedSize(510, 278);

  GroupBox = new QGroupBox(this);
  GroupBox->setObjectName(QStringLiteral("GroupBox1"));
  GroupBox->setGeometry(4, 2, 502, 272);
  CreateMap();
  CreateEdits();
  CreatePredefined();

  TimerApply = new QTimer(this);
  TimerApply->setObjectName(QStringLiteral("TimerApply"));
  TimerApply->setInterval(ApplyDelayMs);

  ConnectHandlers();
  // Enter in an edit applies the region itself (Edit_OXKeyPress); the
  // dialog is hidden by its close box only.
  SetDialogKeys(*this, EscapeKey::Ignored);
}

void TViewPortForm::CreateMap() {
  FullView = new QFrame(GroupBox);
  FullView->setObjectName(QStringLiteral("FullView"));
  FullView->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  FullView->setGeometry(10, 16, 384, 216);

  WhiteBox = new QFrame(GroupBox);
  WhiteBox->setObjectName(QStringLiteral("WhiteBox"));
  QPalette colours = WhiteBox->palette();
  colours.setColor(QPalette::Window, BoxColour);
  WhiteBox->setPalette(colours);
  WhiteBox->setAutoFillBackground(true);
  WhiteBox->setGeometry(FullView->geometry());
  WhiteBox->raise();
}

void TViewPortForm::CreateEdits() {
  int x = 10;
  const int y = 242;
  auto label = [this, &x](const QString& text, int width) {
    auto* l = new QLabel(text, GroupBox);
    l->setGeometry(x, y, width, 21);
    x += width;
  };
  auto edit = [this, &x](QLineEdit*& e, const char* name) {
    e = new QLineEdit(GroupBox);
    e->setObjectName(QString::fromLatin1(name));
    // Up to four digits, blanks kept and shown as spaces; four blanks at
    // design.
    e->setInputMask(QStringLiteral("0000; "));
    // Four digits shown whole at the font in use.
    FitWidth(e, 40, {QStringLiteral("0000")});
    e->setGeometry(x, y, e->width(), 21);
    x += e->width() + 8;
  };
  label(QStringLiteral("Size:"), 30);
  label(QStringLiteral("X"), 10);
  edit(Edit_SX, "Edit_SX");
  label(QStringLiteral("Y"), 10);
  edit(Edit_SY, "Edit_SY");
  x += 6;
  label(QStringLiteral("Offset:"), 38);
  label(QStringLiteral("X"), 10);
  edit(Edit_OX, "Edit_OX");
  label(QStringLiteral("Y"), 10);
  edit(Edit_OY, "Edit_OY");

  Button_Apply = new QPushButton(QStringLiteral("Apply"), GroupBox);
  Button_Apply->setObjectName(QStringLiteral("Button_Apply"));
  Button_Apply->setAutoDefault(false);
  Button_Apply->setGeometry(402, y - 2, 92, 25);
  Button_Apply->setEnabled(false);
}

void TViewPortForm::CreatePredefined() {
  RadioPredefined = new QGroupBox(QStringLiteral(" Predefined "), GroupBox);
  RadioPredefined->setObjectName(QStringLiteral("RadioPredefined"));
  RadioPredefined->setGeometry(400, 10, 96, 222);
  PredefinedButtons = new QButtonGroup(RadioPredefined);
  int id = 0;
  for (const PredefinedSize& size : PredefinedSizes) {
    auto* button = new QRadioButton(QString::fromLatin1(size.caption), RadioPredefined);
    button->setGeometry(6, 18 + 25 * id, 88, 20);
    PredefinedButtons->addButton(button, id);
    ++id;
  }
  PredefinedButtons->button(FullSensorIndex)->setChecked(true);
}

void TViewPortForm::ConnectHandlers() {
  connect(PredefinedButtons, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
    if (checked) RadioPredefinedClick(id);
  });
  connect(Button_Apply, &QPushButton::clicked, this, &TViewPortForm::Button_ApplyClick);
  for (QLineEdit* edit : {Edit_OX, Edit_OY, Edit_SX, Edit_SY}) {
    connect(edit, &QLineEdit::textChanged, this, &TViewPortForm::Edit_OXChange);
    edit->installEventFilter(this);
  }
  connect(TimerApply, &QTimer::timeout, this, &TViewPortForm::TimerApplyTimer);
  WhiteBox->installEventFilter(this);
}

void TViewPortForm::FormCreate() {
  Region = TRegion{};
  PlaceBox();
  ShowRegionEdits();
}

// --- Operations ------------------------------------------------------------------------

// Map pixels per sensor pixel, from the map's size.
double TViewPortForm::ScaleX() const { return FullView->width() / double{SensorWidth}; }
double TViewPortForm::ScaleY() const { return FullView->height() / double{SensorHeight}; }

bool TViewPortForm::RegionLocked() const {
  return AppCommand != nullptr && AppCommand->Captures.CaptureRunning;
}

void TViewPortForm::PlaceBox() {
  WhiteBox->setGeometry(Nearest(Region.StartX * ScaleX()) + FullView->x(),
                        Nearest(Region.StartY * ScaleY()) + FullView->y(),
                        Nearest(Region.SizeX * ScaleX()), Nearest(Region.SizeY * ScaleY()));
}

void TViewPortForm::ShowRegionEdits() {
  Edit_OX->setText(FormatText("%d", Region.StartX));
  Edit_OY->setText(FormatText("%d", Region.StartY));
  Edit_SX->setText(FormatText("%d", Region.SizeX));
  Edit_SY->setText(FormatText("%d", Region.SizeY));
}

void TViewPortForm::SendRegion() {
  ViewPortRecord record{};
  record.StartX = static_cast<std::uint32_t>(Region.StartX);
  record.StartY = static_cast<std::uint32_t>(Region.StartY);
  record.SizeX = static_cast<std::uint32_t>(Region.SizeX);
  record.SizeY = static_cast<std::uint32_t>(Region.SizeY);
  CameraDevice->UpdateViewPort(record);
  // The camera's answer is taken over as it is; the map and the edits keep
  // what was asked for.
  Region.StartX = static_cast<std::int32_t>(record.StartX);
  Region.StartY = static_cast<std::int32_t>(record.StartY);
  Region.SizeX = static_cast<std::int32_t>(record.SizeX);
  Region.SizeY = static_cast<std::int32_t>(record.SizeY);
  if (AppCommand->SettingsView != nullptr) AppCommand->SettingsView->UpdateExposure();
}

bool TViewPortForm::ReadRegionEdits() {
  const std::optional<TRegion> region =
      RegionFromTexts(Edit_OX->displayText(), Edit_OY->displayText(), Edit_SX->displayText(),
                      Edit_SY->displayText());
  if (!region) return false;
  Region = *region;
  return true;
}

void TViewPortForm::MoveBox(int dx, int dy) {
  if (RegionLocked()) return;
  // One axis: the box's new near edge, kept on the map.
  auto moved = [](int position, int extent, int delta, int mapStart, int mapExtent) {
    if (delta >= 0) {
      const int mapEnd = mapStart + mapExtent;
      return position + extent + delta > mapEnd ? mapEnd - extent : position + delta;
    }
    return std::max(position + delta, mapStart);
  };
  WhiteBox->move(moved(WhiteBox->x(), WhiteBox->width(), dx, FullView->x(), FullView->width()),
                 moved(WhiteBox->y(), WhiteBox->height(), dy, FullView->y(), FullView->height()));
  ReadBoxPosition();
  ShowRegionEdits();
  SendRegion();
}

void TViewPortForm::ReadBoxPosition() {
  const int qx = Nearest((WhiteBox->x() - FullView->x()) / ScaleX());
  const int qy = Nearest((WhiteBox->y() - FullView->y()) / ScaleY());
  Region.StartX = RoundDown(qx, RegionStepX);
  Region.StartY = RoundDown(qy, RegionStepY);
}

// --- Event handlers ----------------------------------------------------------------------

void TViewPortForm::RadioPredefinedClick(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(PredefinedSizes))) return;
  if (RegionLocked()) return;
  Region.SizeX = PredefinedSizes[index].sizeX;
  Region.SizeY = PredefinedSizes[index].sizeY;
  Centre();
}

void TViewPortForm::Button_ApplyClick() {
  if (RegionLocked()) return;
  if (!ReadRegionEdits()) return;
  PlaceBox();
  ShowRegionEdits();
  SendRegion();
}

void TViewPortForm::Edit_OXChange() { Button_Apply->setEnabled(true); }

bool TViewPortForm::Edit_OXKeyPress(QLineEdit* edit, int key) {
  if ((key >= Qt::Key_0 && key <= Qt::Key_9) || key == Qt::Key_Backspace) {
    const QLineEdit* const edits[] = {Edit_OX, Edit_OY, Edit_SX, Edit_SY};
    const bool allFilled = std::none_of(std::begin(edits), std::end(edits), [](const QLineEdit* e) {
      return e->displayText().trimmed().isEmpty();
    });
    // The region is applied a second after the last such key.
    if (allFilled) {
      TimerApply->stop();
      TimerApply->start();
    }
    return false;
  }
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    Button_ApplyClick();
    edit->selectAll();
    return true;
  }
  return false;  // left to the mask
}

void TViewPortForm::TimerApplyTimer() {
  TimerApply->stop();
  Button_ApplyClick();
}

void TViewPortForm::WhiteBoxMouseDown(Qt::MouseButton button, QPoint position) {
  if (button != Qt::LeftButton) return;
  grab_ = position;
  dragging_ = true;
}

void TViewPortForm::WhiteBoxMouseMove(QPoint position) {
  if (skipNextMove_) {
    skipNextMove_ = false;
    return;
  }
  // The position is the box's own: the box follows the mouse, so the grab
  // point stays under it.
  if (dragging_) MoveBox(position.x() - grab_.x(), position.y() - grab_.y());
}

void TViewPortForm::WhiteBoxMouseUp() { dragging_ = false; }

void TViewPortForm::WhiteBoxDblClick() {
  if (RegionLocked()) return;
  Centre();
  // The mouse-move that follows a double-click must not move the box again.
  skipNextMove_ = true;
}

// The region keeps its size and is centred on the sensor (not rounded to the
// steps of 16 and 18), then shown and sent.
void TViewPortForm::Centre() {
  Region.StartX = (SensorWidth - Region.SizeX) / 2;
  Region.StartY = (SensorHeight - Region.SizeY) / 2;
  PlaceBox();
  ShowRegionEdits();
  SendRegion();
}

bool TViewPortForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == WhiteBox) {
    switch (event->type()) {
      case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        WhiteBoxMouseDown(mouse->button(), mouse->position().toPoint());
        return true;
      }
      case QEvent::MouseMove:
        WhiteBoxMouseMove(static_cast<QMouseEvent*>(event)->position().toPoint());
        return true;
      case QEvent::MouseButtonRelease: WhiteBoxMouseUp(); return true;
      case QEvent::MouseButtonDblClick: WhiteBoxDblClick(); return true;
      default: break;
    }
  } else if (event->type() == QEvent::KeyPress) {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (edit != nullptr) return Edit_OXKeyPress(edit, static_cast<QKeyEvent*>(event)->key());
  }
  return QDialog::eventFilter(watched, event);
}
