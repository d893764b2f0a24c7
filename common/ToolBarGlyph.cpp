#include "common/ToolBarGlyph.h"

#include <QColor>
#include <QFontMetricsF>
#include <QPainter>
#include <QPixmap>
#include <QString>

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
