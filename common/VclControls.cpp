#include "VclControls.h"

#include <QAction>
#include <QButtonGroup>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include <utility>

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), buttons_(new QButtonGroup(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(0);
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    buttons_->addButton(button, i);
    layout->addWidget(button);
  }
  layout->addStretch();
  connect(buttons_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
    if (checked) emit Click();
  });
}

int TRadioGroup::ItemIndex() const { return buttons_->checkedId(); }

void TRadioGroup::SetItemIndex(int index) {
  if (index == ItemIndex()) return;
  if (QAbstractButton* button = buttons_->button(index)) {
    button->setChecked(true);
    return;
  }
  // An exclusive group keeps one button checked; clearing needs a pause.
  buttons_->setExclusive(false);
  if (QAbstractButton* checked = buttons_->checkedButton()) checked->setChecked(false);
  buttons_->setExclusive(true);
}

int TRadioGroup::Count() const { return static_cast<int>(buttons_->buttons().size()); }

QRadioButton* TRadioGroup::Item(int index) const {
  return qobject_cast<QRadioButton*>(buttons_->button(index));
}

void SetTrackBarMin(QSlider* trackBar, int minimum) {
  if (minimum <= trackBar->maximum()) trackBar->setMinimum(minimum);
}

void SetTrackBarMax(QSlider* trackBar, int maximum) {
  if (maximum >= trackBar->minimum()) trackBar->setMaximum(maximum);
}

namespace {
class TDoubleClickFilter : public QObject {
 public:
  TDoubleClickFilter(QWidget* widget, std::function<void()> handler)
      : QObject(widget), handler_(std::move(handler)) {
    widget->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      handler_();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> handler_;
};
}  // namespace

void OnDoubleClick(QWidget* widget, std::function<void()> handler) {
  new TDoubleClickFilter(widget, std::move(handler));
}

QIcon MakeGlyph(const QString& glyph, const QColor& colour) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  QFont font = painter.font();
  font.setBold(true);
  font.setPixelSize(glyph.size() > 1 ? 8 : 14);
  painter.setFont(font);
  painter.setPen(colour);
  // A word wider than the picture (less a pixel each side) is narrowed to
  // fit rather than cut at both edges.
  const QRectF area = QRectF(pixmap.rect()).adjusted(1, 0, -1, 0);
  const qreal width = QFontMetricsF(font).boundingRect(glyph).width();
  if (width > area.width()) {
    const qreal narrowing = area.width() / width;
    painter.translate(area.center().x(), 0);
    painter.scale(narrowing, 1);
    painter.translate(-area.center().x(), 0);
  }
  painter.drawText(QRectF(pixmap.rect()), Qt::AlignCenter, glyph);
  return QIcon(pixmap);
}

void ShowKeypadZoomKeys(QAction* zoomIn, QAction* zoomOut, QAction* zoomOriginal) {
  const std::pair<QAction*, const char*> items[] = {
      {zoomIn, "Num +"}, {zoomOut, "Num -"}, {zoomOriginal, "Num *"}};
  for (const auto& [action, keys] : items) {
    // A menu shows the part of the text after a tab in place of the shortcut.
    const QString caption = action->text().section(QLatin1Char('\t'), 0, 0);
    action->setText(caption + QLatin1Char('\t') + QString::fromLatin1(keys));
  }
}
