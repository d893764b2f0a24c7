#include "common/ToolPictures.h"

#include <QColor>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>
#include <QString>
#include <QStyleOptionToolButton>

#include <cmath>

namespace {
// The tool bar's pictures are 16 pixels high; the word's capitals are 7.
constexpr int PictureHeight = 16;
constexpr int WordPixelSize = 10;
// A clear pixel each side, so that neighbouring pictures never touch.
constexpr int SideMargin = 1;
}  // namespace

QIcon MakeWordPicture(const QString& word, const QColor& colour) {
  QFont font;
  font.setBold(true);
  font.setPixelSize(WordPixelSize);
  const QFontMetricsF metrics(font);
  const int width = static_cast<int>(std::ceil(metrics.horizontalAdvance(word))) + 2 * SideMargin;
  QPixmap picture(width, PictureHeight);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.setFont(font);
  painter.setPen(colour);
  painter.drawText(QRectF(picture.rect()), Qt::AlignCenter, word);
  return QIcon(picture);
}

void TToolButton::initStyleOption(QStyleOptionToolButton* option) const {
  QToolButton::initStyleOption(option);
  // A word picture: one size, the pictures' height, wider than a square.
  const QList<QSize> sizes = icon().availableSizes();
  if (sizes.size() == 1 && sizes.front().height() == option->iconSize.height() &&
      sizes.front().width() > option->iconSize.width())
    option->iconSize = sizes.front();
}
