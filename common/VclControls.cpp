#include "common/VclControls.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTabWidget>
#include <QVBoxLayout>

#include <utility>

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text) {
  return Named(new QLabel(text, parent), name);
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
  return Named(new QPushButton(caption, parent), name);
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& caption, bool checked) {
  auto* box = Named(new QCheckBox(caption, parent), name);
  box->setChecked(checked);
  return box;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& text, bool readOnly) {
  auto* edit = Named(new QLineEdit(text, parent), name);
  edit->setReadOnly(readOnly);
  return edit;
}

QComboBox* MakeComboBox(QWidget* parent, const char* name, const QStringList& items, int index) {
  auto* box = Named(new QComboBox(parent), name);
  box->addItems(items);
  box->setCurrentIndex(index);
  return box;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& caption) {
  return Named(new QGroupBox(caption, parent), name);
}

QSlider* MakeTrackBar(QWidget* parent, const char* name, Qt::Orientation orientation, int minimum,
                      int maximum, int position) {
  auto* bar = Named(new QSlider(orientation, parent), name);
  bar->setRange(minimum, maximum);
  bar->setValue(position);
  bar->setPageStep(1);
  if (orientation == Qt::Vertical) {
    bar->setInvertedAppearance(true);
    bar->setInvertedControls(true);
  }
  return bar;
}

QRadioButton* MakeRadioButton(QWidget* parent, const char* name, const QString& caption) {
  return Named(new QRadioButton(caption, parent), name);
}

QWidget* MakeTab(QTabWidget* pages, const char* name, const QString& caption) {
  auto* tab = Named(new QWidget(pages), name);
  pages->addTab(tab, caption);
  return tab;
}

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

namespace {

// Room a QLabel's text does not get: frame, contents margins, margin and the
// indent Qt gives a framed label on its aligned side.
int LabelChrome(const QLabel* label, const QFontMetrics& metrics) {
  int indent = label->indent();
  if (indent < 0)
    indent = label->frameWidth() > 0 ? metrics.horizontalAdvance(QLatin1Char('x')) / 2 : 0;
  const QMargins margins = label->contentsMargins();
  return margins.left() + margins.right() + 2 * label->margin() + indent;
}

// A QLineEdit's text sits 2 pixels in from its contents on either side,
// needs a pixel for the cursor and room for glyphs that overhang.
int LineEditWidth(const QLineEdit* edit, const QFontMetrics& metrics, const QString& text) {
  constexpr int HorizontalMargin = 2;
  const QMargins textMargins = edit->textMargins();
  const QMargins margins = edit->contentsMargins();
  const int overhang = qMax(0, -metrics.minLeftBearing()) + qMax(0, -metrics.minRightBearing());
  const int inner = metrics.horizontalAdvance(text) + 1 + overhang + 2 * HorizontalMargin +
                    textMargins.left() + textMargins.right() + margins.left() + margins.right();
  QStyleOptionFrame option;
  option.initFrom(edit);
  option.lineWidth = edit->hasFrame()
                         ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
                         : 0;
  return edit->style()
      ->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(inner, metrics.height()), edit)
      .width();
}

int WidthForTexts(const QWidget* control, int designWidth, const QStringList& texts) {
  int width = designWidth;
  for (const QString& text : texts) width = qMax(width, WidthForText(control, text));
  return width;
}

}  // namespace

int WidthForText(const QWidget* control, const QString& text) {
  const QFontMetrics metrics(control->font());
  if (const auto* edit = qobject_cast<const QLineEdit*>(control))
    return LineEditWidth(edit, metrics, text);
  const int advance = metrics.horizontalAdvance(text);
  if (const auto* label = qobject_cast<const QLabel*>(control))
    return advance + LabelChrome(label, metrics);
  return advance;
}

void FitWidth(QWidget* control, int designWidth, const QStringList& widestTexts) {
  control->setFixedWidth(WidthForTexts(control, designWidth, widestTexts));
}

void FitMinimumWidth(QWidget* control, int designWidth, const QStringList& widestTexts) {
  control->setMinimumWidth(WidthForTexts(control, designWidth, widestTexts));
}

void AddStatusPanel(QStatusBar* bar, QLabel* panel, int designWidth, const QStringList& widestTexts,
                    bool stretch) {
  if (stretch) {
    FitMinimumWidth(panel, designWidth, widestTexts);
    bar->addWidget(panel, 1);
    return;
  }
  FitWidth(panel, designWidth, widestTexts);
  bar->addWidget(panel);
}
