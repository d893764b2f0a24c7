// Text to numbers for everything the program reads from the user or a file.
//
// Decimal numbers with "." as the decimal separator whatever the user's
// locale; blanks around the number are ignored. Real numbers must be finite:
// "inf", "nan" and values out of the double range are refused, since they
// would travel on into camera settings and file headers.
#ifndef COMMON_PARSE_H
#define COMMON_PARSE_H

#include <QString>

#include <cstdint>

// An optional sign and decimal digits that fit a signed 32-bit integer. On
// success stores the value and returns true; otherwise leaves it alone.
bool ParseInt32(const QString& text, std::int32_t& value);
// Decimal digits (an optional "+") that fit an unsigned 32-bit integer.
bool ParseUInt32(const QString& text, std::uint32_t& value);
// A finite real number: optional sign, digits with an optional "." and
// fraction, optional exponent ("2.5", "-.5", "1e3").
bool ParseReal(const QString& text, double& value);

// The GUI library's standard conversion error texts, shown in an error box
// when an edit or a file holds no number where one is needed.
QString NotAnIntegerText(const QString& text);
QString NotARealText(const QString& text);

#endif
