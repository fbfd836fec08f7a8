#pragma once

#include <QString>

// Letter case of 8-bit text as the edits convert it while the operator
// types: character by character, and only where the other case is an 8-bit
// character too. The sharp s, the y with diaeresis and the micro sign have
// no 8-bit capital and stay as typed, so the text keeps its length (no
// "SS") and every character keeps its byte.
QString upperCase8Bit(const QString &text);
QString lowerCase8Bit(const QString &text);
