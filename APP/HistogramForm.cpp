#include "HistogramForm.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusBar>

#include <cassert>
#include <cstdint>

#include "Dialogs.h"

namespace {

// The forms' colour: 7368816, grey 112.
const QColor FormColour(112, 112, 112);
constexpr int StatusBarHeight = 20;
constexpr int PanelWidth = 64;

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
  setFixedSize(design.clientSize);

  PaintBox = new THistogramPaintBox(this);
  PaintBox->setGeometry(design.paintBox);

  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName(QStringLiteral("StatusBar"));
  StatusBar->setSizeGripEnabled(false);
  StatusBar->setAttribute(Qt::WA_NoMousePropagation);
  StatusBar->setGeometry(0, design.statusBarTop, design.clientSize.width(), StatusBarHeight);
  for (int i = 0; i < PanelCount; ++i) {
    auto* label = new QLabel(StatusBar);
    label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    // The designed width; a text that needs more (other fonts than the
    // designed one) widens its panel rather than being cut off.
    label->setMinimumWidth(PanelWidth);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusBar->addWidget(label);
    panels_[i] = label;
  }
  // Esc closes the window as its close box does, which stops its feed.
  SetDialogKeys(*this, EscapeKey::Closes);
}

void THistogramForm::ShowWindow() {
  show();
  raise();
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
  const int clientWidth = width + 2;
  setFixedSize(clientWidth, height());
  StatusBar->resize(clientWidth, StatusBar->height());
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
