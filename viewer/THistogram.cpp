#include "viewer/THistogram.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "common/Dialogs.h"
#include "common/Format.h"
#include "common/HistogramPicture.h"
#include "common/TextWidths.h"
#include "imaging.h"

THistogram* Histogram = nullptr;

namespace {

constexpr int RGBBoxWidth = 256;
constexpr int RAWBoxLeft = 258;
constexpr int DesignClientWidth = 1284;
constexpr int DesignClientHeight = 200;
constexpr int LabelHeight = 16;
constexpr int PanelWidth = 64;
const QColor Cream(255, 251, 240);

// avg rounded to 5 significant digits (the exact value rounded, ties to
// even, in any locale), then shown with 2 decimals.
QString AverageText(double average) {
  char digits[32];
  const auto written =
      std::to_chars(digits, digits + sizeof digits, average, std::chars_format::scientific, 4);
  double rounded = average;
  std::from_chars(digits, written.ptr, rounded);
  return FormatFloat("%.2f", rounded);
}

}  // namespace

namespace {

// The widest text of each statistics panel over n bins: one value in the
// last bin, values in the first and the last bin, and no counts at all.
std::array<QStringList, 4> WidestStatisticsTexts(std::int32_t n) {
  std::vector<std::uint32_t> bins(static_cast<std::size_t>(n), 0);
  std::array<QStringList, 4> widest;
  auto add = [&] {
    const QStringList texts = HistogramStatisticsTexts(bins.data(), n);
    for (std::size_t i = 0; i < widest.size(); ++i) widest[i] << texts[static_cast<qsizetype>(i)];
  };
  add();
  bins.back() = 1;
  add();
  bins.front() = 1;
  add();
  return widest;
}

}  // namespace

QStringList HistogramStatisticsTexts(const std::uint32_t* bins, std::int32_t n) {
  const HistogramStatistics s = MeasureHistogram({bins}, n);
  // Without counts the range is empty: Min past the last bin, Max before the
  // first, and no average.
  const std::int32_t first = s.Empty() ? n : s.Min;
  const std::int32_t last = s.Empty() ? -1 : s.Max;
  const QString average =
      s.Empty() ? QStringLiteral("-")
                : AverageText(static_cast<double>(s.Weighted) / static_cast<double>(s.Total));
  return {FormatText("Min:%d", first), QStringLiteral("Avg:") + average, FormatText("Max:%d", last),
          FormatText("Delta:%d", last - first + 1)};
}

// --- The window --------------------------------------------------------------------

THistogram::THistogram(TAppForm* appForm, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowCloseButtonHint), appForm_(appForm) {
  setObjectName(QStringLiteral("Histogram"));
  setWindowTitle(QStringLiteral("Histogram"));
  QPalette cream = palette();
  cream.setColor(QPalette::Window, Cream);
  setPalette(cream);
  setAutoFillBackground(true);
  FillFlatBins();

  lbRGB = new QLabel(QStringLiteral("Frame histogram:"), this);
  lbRGB->setObjectName(QStringLiteral("lbRGB"));
  lbRAW = new QLabel(QStringLiteral("Raw histogram:"), this);
  lbRAW->setObjectName(QStringLiteral("lbRAW"));
  pbRGB = new TPaintBox(this);
  pbRGB->setObjectName(QStringLiteral("pbRGB"));
  pbRAW = new TPaintBox(this);
  pbRAW->setObjectName(QStringLiteral("pbRAW"));
  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName(QStringLiteral("StatusBar"));
  StatusBar->setSizeGripEnabled(false);
  const std::array<QStringList, 4> widestRGB = WidestStatisticsTexts(256);
  const std::array<QStringList, 4> widestRAW = WidestStatisticsTexts(4096);
  for (int i = 0; i < StatusPanelCount; ++i) {
    panels_[i] = new QLabel(StatusBar);
    panels_[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    // Framed panels: the texts of neighbours do not run together.
    panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    const QStringList widest = i < 4 ? widestRGB[i] : i < 8 ? widestRAW[i - 4] : QStringList();
    AddStatusPanel(StatusBar, panels_[i], PanelWidth, widest, i == StatusPanelCount - 1);
  }
  pbRGB->setGeometry(0, LabelHeight, RGBBoxWidth, BoxHeight);
  pbRAW->setGeometry(RAWBoxLeft, LabelHeight, 1024, BoxHeight);
  lbRGB->setGeometry(0, 0, RGBBoxWidth, LabelHeight);
  lbRAW->setGeometry(RAWBoxLeft, 0, 1024, LabelHeight);
  setFixedSize(DesignClientWidth, DesignClientHeight);
  PlaceBoxes();

  pbRGB->OnPaint = [this] { pbRGBPaint(); };
  pbRAW->OnPaint = [this] { pbRAWPaint(); };
  pbRGB->installEventFilter(this);
  pbRAW->installEventFilter(this);
  // Esc closes the window like its close box, which stops its updates.
  SetDialogKeys(*this, EscapeKey::Closes);
  if (appForm_ != nullptr) appForm_->Session.HistogramView = this;
}

void THistogram::PlaceBoxes() {
  StatusBar->setGeometry(0, height() - (DesignClientHeight - LabelHeight - BoxHeight), width(),
                         DesignClientHeight - LabelHeight - BoxHeight);
}

QString THistogram::Panel(int index) const {
  return index >= 0 && index < StatusPanelCount ? panels_[index]->text() : QString();
}

void THistogram::ShowNonModal() {
  // Above the settings dialog too, which stays on top while it is shown.
  ShowInSight(*this);
  FormActivate();
}

bool THistogram::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) FormActivate();
  return QDialog::event(e);
}

void THistogram::FormActivate() { SetRAWBits(RawBits); }

void THistogram::SetRAWBits(std::int32_t bits) {
  RawWidth = bits == 8 ? 256 : 1024;
  pbRAW->resize(RawWidth, BoxHeight);
  lbRAW->resize(RawWidth, LabelHeight);
  // Wider where the status panels need it.
  setFixedSize(std::max(pbRGB->width() + pbRAW->width() + 3, StatusBar->minimumSizeHint().width()),
               height());
  PlaceBoxes();
  RawBits = bits;
}

void THistogram::ToggleMono() {
  MonoView = MonoImage ? true : !MonoView;
  RefreshBox(pbRGB);
  RefreshBox(pbRAW);
}

void THistogram::pbRGBClick() { ToggleMono(); }
void THistogram::pbRAWClick() { ToggleMono(); }

bool THistogram::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
    if (watched == pbRGB) pbRGBClick();
    if (watched == pbRAW) pbRAWClick();
  }
  return QDialog::eventFilter(watched, e);
}

// --- Updates -------------------------------------------------------------------

void THistogram::ShowStatistics(const std::uint32_t* bins, std::int32_t n, int firstPanel) {
  const QStringList texts = HistogramStatisticsTexts(bins, n);
  for (int i = 0; i < 4; ++i) panels_[firstPanel + i]->setText(texts.at(i));
}

void THistogram::UpdateRGB(const std::uint8_t* image, std::int32_t width, bool mono,
                           std::int32_t height) {
  MonoImage = mono;
  const std::int32_t count = width * height;
  if (mono) {
    MonoView = true;
    Histogram8Bit(image, count, RGBBins[0]);
  } else {
    HistogramRGB24(image, count, RGBBins[1], RGBBins[2], RGBBins[3]);
    for (int i = 0; i < 256; ++i) RGBBins[0][i] = RGBBins[1][i] + RGBBins[2][i] + RGBBins[3][i];
  }
  ShowStatistics(RGBBins[0], 256, 0);
  RefreshBox(pbRGB);
}

void THistogram::UpdateRAW(const void* data, std::int32_t width, bool mono, std::int32_t bits,
                           std::int32_t height) {
  MonoImage = mono;
  if (bits != RawBits) SetRAWBits(bits);
  if (mono) MonoView = true;
  const std::int32_t count = width * height;
  if (bits == 8 || bits == 10) {
    const std::int32_t n = bits == 8 ? 256 : 1024;
    if (mono) {
      if (bits == 8)
        Histogram8Bit(static_cast<const std::uint8_t*>(data), count, RAWBins[0]);
      else
        Histogram10Bit(static_cast<const std::uint16_t*>(data), count, RAWBins[0]);
    } else {
      if (bits == 8)
        HistogramBayer8Bit_GBRG(static_cast<const std::uint8_t*>(data), width, height, RAWBins[1],
                                RAWBins[2], RAWBins[3]);
      else
        HistogramBayer10Bit_GBRG(static_cast<const std::uint16_t*>(data), width, height, RAWBins[1],
                                 RAWBins[2], RAWBins[3]);
      for (std::int32_t i = 0; i < n; ++i)
        RAWBins[0][i] = RAWBins[1][i] + RAWBins[2][i] + RAWBins[3][i];
    }
    ShowStatistics(RAWBins[0], n, 4);
  } else if (bits == 12) {
    const auto* samples = static_cast<const std::uint16_t*>(data);
    if (mono) {
      Histogram12Bit(samples, count, wide_[0]);
    } else {
      HistogramBayer12Bit_GBRG(samples, width, height, wide_[1], wide_[2], wide_[3]);
      for (int i = 0; i < 4096; ++i) wide_[0][i] = wide_[1][i] + wide_[2][i] + wide_[3][i];
    }
    ShowStatistics(wide_[0], Bins12Bit, 4);
    // Four 12-bit bins make one drawn bin.
    for (int c = 0; c < (mono ? 1 : 4); ++c) {
      FoldHistogramBins(wide_[c]);
      std::memcpy(RAWBins[c], wide_[c], sizeof RAWBins[c]);
    }
  } else {
    return;
  }
  RefreshBox(pbRAW);
}

void THistogram::FillFlatBins() {
  // Every byte 1: before the first frame every bin holds the same count and
  // the boxes show flat, full-height histograms.
  std::memset(RGBBins, 1, sizeof RGBBins);
  std::memset(RAWBins, 1, sizeof RAWBins);
}

void THistogram::Clear() {
  FillFlatBins();
  for (QLabel* panel : panels_) panel->clear();
  RefreshBox(pbRGB);
  RefreshBox(pbRAW);
}

// --- Painting --------------------------------------------------------------------

void THistogram::RefreshBox(TPaintBox* box) {
  // The picture is drawn now, whether or not the box can be painted yet;
  // the box's paint event shows it.
  if (box == pbRGB)
    DrawRGB();
  else
    DrawRAW();
  if (box->isVisible()) box->repaint();
}

QImage THistogram::DrawBins(TPaintBox* box, const std::uint32_t* const bins[4],
                            std::int32_t n) const {
  // Bar heights trunc(H x count / peak + 0.5): exact halves go up.
  if (MonoView) return DrawHistogramMono(box->size(), bins[0], n, HistogramRounding::HalfUp);
  return DrawHistogramColor(box->size(), bins[1], bins[2], bins[3], n, HistogramRounding::HalfUp);
}

void THistogram::DrawRGB() {
  const std::uint32_t* const bins[4] = {RGBBins[0], RGBBins[1], RGBBins[2], RGBBins[3]};
  rgbPicture_ = DrawBins(pbRGB, bins, 256);
}

void THistogram::DrawRAW() {
  const std::uint32_t* const bins[4] = {RAWBins[0], RAWBins[1], RAWBins[2], RAWBins[3]};
  rawPicture_ = DrawBins(pbRAW, bins, RawWidth);
}

void THistogram::pbRGBPaint() {
  ShowPicture(pbRGB, PaintingRGB, rgbPicture_, [this] { DrawRGB(); });
}
void THistogram::pbRAWPaint() {
  ShowPicture(pbRAW, PaintingRAW, rawPicture_, [this] { DrawRAW(); });
}

void THistogram::ShowPicture(TPaintBox* box, bool& painting, const QImage& picture,
                             const std::function<void()>& draw) {
  if (picture.isNull() || picture.size() != box->size()) draw();
  if (painting) return;
  painting = true;
  QPainter painter(box);
  painter.drawImage(0, 0, picture);
  painting = false;
}
