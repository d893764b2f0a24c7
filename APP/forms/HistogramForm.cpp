#include "APP/forms/HistogramForm.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusBar>

#include <algorithm>
#include <cassert>
#include <cstdint>

#include "common/Dialogs.h"
#include "common/HistogramPicture.h"
#include "common/TextWidths.h"

namespace {

// The forms' colour: 7368816, grey 112.
const QColor FormColour(112, 112, 112);
constexpr int StatusBarHeight = 20;
constexpr int PanelWidth = 64;

// The widest text each panel shows: one value at the last bin, and the
// whole range of bins.
std::array<QStringList, 4> WidestPanelTexts(std::int32_t binCount) {
  const auto last = static_cast<std::uint64_t>(binCount - 1);
  const std::array<QString, 4> single = HistogramPanelTexts({binCount - 1, binCount - 1, 1, last});
  const std::array<QString, 4> range = HistogramPanelTexts({0, binCount - 1, 2, last});
  std::array<QStringList, 4> widest;
  for (std::size_t i = 0; i < widest.size(); ++i) widest[i] = {single[i], range[i]};
  return widest;
}

// A click: the left button goes down and comes up again over the widget.
bool IsClick(const QWidget* widget, const QMouseEvent* event) {
  return event->button() == Qt::LeftButton && widget->rect().contains(event->position().toPoint());
}

}  // namespace

// --- Paint box ---------------------------------------------------------------------

THistogramPaintBox::THistogramPaintBox(THistogramForm* form) : QWidget(form), form_(form) {
  setObjectName(QStringLiteral("PaintBox"));
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void THistogramPaintBox::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  form_->PaintBoxPaint(painter);
}

void THistogramPaintBox::mousePressEvent(QMouseEvent* event) { event->accept(); }

void THistogramPaintBox::mouseReleaseEvent(QMouseEvent* event) {
  if (IsClick(this, event)) form_->PaintBoxClick();
}

// --- Form ----------------------------------------------------------------------------

THistogramForm::THistogramForm(const Design& design, QWidget* parent)
    : QDialog(parent), show_(design.show) {
  setObjectName(QString::fromLatin1(design.name));
  setWindowTitle(QString::fromLatin1(design.caption));
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(11);
  setFont(font);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, FormColour);
  setPalette(colours);
  setAutoFillBackground(true);
  PaintBox = new THistogramPaintBox(this);
  PaintBox->setGeometry(design.paintBox);

  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName(QStringLiteral("StatusBar"));
  StatusBar->setSizeGripEnabled(false);
  StatusBar->setAttribute(Qt::WA_NoMousePropagation);
  const std::array<QStringList, PanelCount> widest = WidestPanelTexts(design.binCount);
  for (int i = 0; i < PanelCount; ++i) {
    auto* label = new QLabel(StatusBar);
    label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    AddStatusPanel(StatusBar, label, PanelWidth, widest[i], i == PanelCount - 1);
    panels_[i] = label;
  }
  setFixedHeight(design.clientSize.height());
  StatusBar->setGeometry(0, design.statusBarTop, 0, StatusBarHeight);
  SetClientWidth(design.clientSize.width() - 2);
  // Esc closes the window as its close box does, which stops its feed.
  SetDialogKeys(*this, EscapeKey::Closes);
}

void THistogramForm::ShowWindow() {
  // Above the settings dialog too, which stays on top while it is shown.
  ShowInSight(*this);
}

void THistogramForm::HideWindow() { hide(); }

void THistogramForm::FormClick() { MonoView = MonoView != 0 ? 0 : 1; }

void THistogramForm::FormClose() { (AppCommand->*show_)(false); }

void THistogramForm::PaintBoxPaint(QPainter& painter) {
  if (Painting) return;
  Painting = true;
  painter.drawImage(0, 0, DrawPicture());
  Painting = false;
}

QString THistogramForm::Panel(int index) const {
  if (index < 0 || index >= PanelCount) return {};
  return panels_[index]->text();
}

std::int32_t THistogramForm::SampleCount(int width, int height, int perPixel) {
  if (width <= 0 || height <= 0) return 0;
  const std::int64_t count = std::int64_t{width} * height * perPixel;
  // The renderer's frames are at most 1920 x 1080.
  assert(count <= INT32_MAX);
  return static_cast<std::int32_t>(count);
}

void THistogramForm::SetPanels(const std::array<QString, PanelCount>& texts) {
  for (int i = 0; i < PanelCount; ++i) panels_[i]->setText(texts[i]);
}

void THistogramForm::SetPaintBoxWidth(int width) {
  PaintBox->resize(width, PaintBox->height());
  SetClientWidth(width);
}

void THistogramForm::SetClientWidth(int paintBoxWidth) {
  const int clientWidth = std::max(paintBoxWidth + 2, StatusBar->minimumSizeHint().width());
  setFixedWidth(clientWidth);
  StatusBar->resize(clientWidth, StatusBarHeight);
}

void THistogramForm::Paint() { PaintBox->update(); }

void THistogramForm::mousePressEvent(QMouseEvent* event) { event->accept(); }

void THistogramForm::mouseReleaseEvent(QMouseEvent* event) {
  if (IsClick(this, event)) FormClick();
}

void THistogramForm::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}
