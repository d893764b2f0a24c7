#ifndef COMMON_TOOLBARGLYPH_H
#define COMMON_TOOLBARGLYPH_H

#include <QIcon>

class QColor;
class QString;

// A 16 x 16 tool-bar picture: the glyph in bold, one letter large, a short
// word small and narrowed where needed so that it fits whole, in the colour
// given.
QIcon MakeGlyph(const QString& glyph, const QColor& colour);

#endif
