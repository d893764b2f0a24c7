// Named sensor register sets of the INI file: each section is one set, its
// "Regs" key a list of sensor register words in hexadecimal without prefix,
// e.g. "Regs=3A01, 3B02,3C03". The controller's GetRegisterSets and
// LoadRegisterSet (RegisterSets.cpp) read them; the helpers below are the
// two text rules of the list.
#ifndef APP_REGISTERSETS_H
#define APP_REGISTERSETS_H

#include <QString>
#include <QStringList>

#include <cstdint>

// Splits a list by the rules of the GUI library's comma text: commas and
// blanks (any character up to ' ') separate items, blanks around items are
// dropped, an item may be enclosed in double quotes (two quotes inside stand
// for one), and a comma with nothing before the next comma or at the end
// gives an empty item. The text ends at a NUL character.
QStringList SplitCommaText(const QString& text);

// A sensor register word from one item: the item read as a hexadecimal
// number of at most 32 bits, its low 16 bits; 0 when the item is not such a
// number (no digits, another character, more than 32 bits).
std::uint16_t RegisterWordFromHex(const QString& item);

#endif
