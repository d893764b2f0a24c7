#include "VideoPanel.h"

#include <QPaintEvent>
#include <QPainter>

#include <immintrin.h>

#include <array>
#include <cstring>

namespace {

// Opaque grey for every sample value: the display palette as 32-bit pixels.
const std::array<std::uint32_t, 256>& GreyPixels() {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) t[i] = 0xff000000u | (i * 0x010101u);
    return t;
  }();
  return table;
}

// Four pixels per step: one 16-byte load (12 bytes used), one byte shuffle
// into B, G, R, 0 words and the opaque alpha ORed in. Needs 16 readable bytes
// at each step, so the caller leaves the last pixels to the plain loop.
__attribute__((target("ssse3"))) std::int64_t ConvertBGR24ToRGB32Ssse3(const std::uint8_t* bgr,
                                                                       std::uint32_t* dst,
                                                                       std::int64_t count) {
  const __m128i shuffle = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xff000000u));
  std::int64_t i = 0;
  for (; i + 6 <= count; i += 4) {  // bytes 3i .. 3i + 15 lie inside 3 * count
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 3 * i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                     _mm_or_si128(_mm_shuffle_epi8(v, shuffle), alpha));
  }
  return i;
}

// Sixteen grey samples per step, each spread to B = G = R with opaque alpha.
__attribute__((target("ssse3"))) std::int64_t ConvertGreyToRGB32Ssse3(const std::uint8_t* grey,
                                                                      std::uint32_t* dst,
                                                                      std::int64_t count) {
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xff000000u));
  const __m128i spread[4] = {
      _mm_setr_epi8(0, 0, 0, -1, 1, 1, 1, -1, 2, 2, 2, -1, 3, 3, 3, -1),
      _mm_setr_epi8(4, 4, 4, -1, 5, 5, 5, -1, 6, 6, 6, -1, 7, 7, 7, -1),
      _mm_setr_epi8(8, 8, 8, -1, 9, 9, 9, -1, 10, 10, 10, -1, 11, 11, 11, -1),
      _mm_setr_epi8(12, 12, 12, -1, 13, 13, 13, -1, 14, 14, 14, -1, 15, 15, 15, -1)};
  std::int64_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(grey + i));
    for (int k = 0; k < 4; ++k)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 4 * k),
                       _mm_or_si128(_mm_shuffle_epi8(v, spread[k]), alpha));
  }
  return i;
}

const bool kHasSsse3 = __builtin_cpu_supports("ssse3");

}  // namespace

void ConvertGreyToRGB32(const std::uint8_t* grey, std::uint32_t* dst, std::int64_t count) {
  const auto& table = GreyPixels();
  std::int64_t i = kHasSsse3 && count > 0 ? ConvertGreyToRGB32Ssse3(grey, dst, count) : 0;
  for (; i < count; ++i) dst[i] = table[grey[i]];
}

void ConvertBGR24ToRGB32(const std::uint8_t* bgr, std::uint32_t* dst, std::int64_t count) {
  if (count <= 0) return;
  std::int64_t i = kHasSsse3 ? ConvertBGR24ToRGB32Ssse3(bgr, dst, count) : 0;
  // Read four bytes per pixel (its B, G, R and the next pixel's B) and force
  // the fourth to 0xff; the last pixel is read byte by byte so that nothing
  // beyond the source is touched.
  for (; i + 1 < count; ++i) {
    std::uint32_t v;
    std::memcpy(&v, bgr + 3 * i, 4);
    dst[i] = v | 0xff000000u;
  }
  const std::uint8_t* p = bgr + 3 * i;
  dst[i] = 0xff000000u | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}

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
