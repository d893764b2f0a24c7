#include "common/VideoPanel.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

#include "imaging/pixelutil.h"

TVideoPanel::TVideoPanel(QWidget* parent, TPanelScaling scaling, std::int64_t capacity)
    : QFrame(parent), scaling_(scaling), capacity_(capacity > 0 ? capacity : 0) {
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  // Every pixel is painted here: no background erase before each frame.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

TVideoPanel::~TVideoPanel() = default;

bool TVideoPanel::Fits(int width, int height) const {
  if (width <= 0 || height <= 0) return false;
  if (capacity_ == 0) return width <= MaxWidth && height <= MaxHeight;
  return std::int64_t{width} * height <= capacity_;
}

bool TVideoPanel::SetPicture(const std::uint8_t* pixels, int width, int height, int bits) {
  if (pixels == nullptr || !Fits(width, height) || (bits != 8 && bits != 24)) return false;
  if (!buffer_) {
    const std::int64_t pixelsHeld = capacity_ != 0 ? capacity_ : std::int64_t{MaxWidth} * MaxHeight;
    buffer_ = std::make_unique<std::uint32_t[]>(static_cast<std::size_t>(pixelsHeld));
  }
  if (image_.width() != width || image_.height() != height ||
      image_.constBits() != reinterpret_cast<const uchar*>(buffer_.get()))
    image_ = QImage(reinterpret_cast<uchar*>(buffer_.get()), width, height, width * 4,
                    QImage::Format_RGB32);
  const std::int64_t count = std::int64_t{width} * height;
  if (bits == 8)
    ConvertGreyToRGB32(pixels, buffer_.get(), count);
  else
    ConvertBGR24ToRGB32(pixels, buffer_.get(), count);
  bits_ = bits;
  hasPicture_ = true;
  update();
  return true;
}

void TVideoPanel::ClearPicture() {
  if (!hasPicture_) return;
  hasPicture_ = false;
  bits_ = 0;
  update();
}

void TVideoPanel::SetCaption(const QString& caption) {
  if (caption_ == caption) return;
  caption_ = caption;
  if (!hasPicture_) update();
}

void TVideoPanel::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  if (hasPicture_) {
    if (image_.size() == size()) {
      // At 100 % only the exposed part is copied.
      const QRect exposed = event->rect();
      painter.drawImage(exposed.topLeft(), image_, exposed);
    } else {
      // The whole picture stretched onto the whole panel; Qt computes only
      // the pixels inside the exposed region.
      painter.setRenderHint(QPainter::SmoothPixmapTransform, scaling_ == TPanelScaling::Smooth);
      painter.drawImage(rect(), image_);
    }
    return;
  }
  painter.fillRect(rect(), palette().window());
  drawFrame(&painter);
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(contentsRect(), Qt::AlignCenter, caption_);
}

void CenterPanelInScrollBox(QScrollArea& box, QWidget& panel) {
  const QSize client = box.viewport()->size();
  panel.move(
      CenteredPanelOffset(client.width(), panel.width(), box.horizontalScrollBar()->value()),
      CenteredPanelOffset(client.height(), panel.height(), box.verticalScrollBar()->value()));
}

void SizePanelToPicture(QScrollArea& box, QWidget& panel, int drawnWidth, int drawnHeight) {
  if (panel.width() == drawnWidth && panel.height() == drawnHeight) return;
  panel.resize(drawnWidth, drawnHeight);
  CenterPanelInScrollBox(box, panel);
}
