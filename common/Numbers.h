// Conversions between typed text and numbers, one rule for the whole program.
// Accepted: blanks, an optional sign, decimal digits with at most one point,
// an optional exponent, blanks. Never inf, nan, hexadecimal or a value that
// is not finite.
#pragma once

#include <QString>
#include <QtGlobal>
#include <stdexcept>

class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// True when `text` is a number by the rule above.
bool IsNumber(const QString& text);
// Text to double; throws ConversionError when it is not a number.
double TextToDouble(const QString& text);
// Text to a 16-bit integer, a half going to the even neighbour (2.5 -> 2,
// 3.5 -> 4); throws outside -32768..32767 or when it is not a number.
qint16 TextToInt16(const QString& text);
// A double to 16 bits by the same rounding; throws when out of range.
qint16 DoubleToInt16(double value);
// The standard text form of a double: at most 15 significant digits, no
// trailing zeros (1.5, 0, -2, -0.75, 3.03030303030303).
QString DoubleToText(double value);
// A typed number as it may be pasted into a statement: the text without the
// blanks around it. Throws ConversionError for anything but a plain literal,
// so no typed text can change a statement.
QString NumericLiteral(const QString& typed);
// An id as it travels between screens (decimal digits) as a number to bind
// into a statement; throws ConversionError for anything but 1 to 32767.
qint64 IdNumber(const QString& id);
