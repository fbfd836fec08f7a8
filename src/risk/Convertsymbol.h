#pragma once

#include <QString>

// Symbol code normalisation: a text of 1 to 4 characters that reads as a
// whole integer (leading blanks, a sign, and "$", "x", "X", "0x" or "0X"
// before hexadecimal digits; nothing after the digits) becomes that integer
// zero-padded to five digits ("5" -> "00005", "-5" -> "-00005"); any other
// text comes back unchanged.
QString Convertsymbol(const QString &text);
