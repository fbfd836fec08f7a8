#pragma once

#include "db/FieldDef.h"

#include <QString>
#include <QVariant>

// How field values appear as text in the data-aware controls, and how typed
// text becomes a field value.
namespace FieldText {

// The text a control shows for a value of the field; empty for null.
QString format(const FieldDef &def, const QVariant &value);

// Converts typed text to a value of the field's type. Empty text is null for
// non-text fields and the empty text for text fields. Returns false when
// the text is not (or not yet) a value of that type.
bool parse(const FieldDef &def, const QString &text, QVariant &value);

// Whether a stored value equals a configured one (a check box's "checked"
// value): numbers by value, booleans by truth, anything else by text.
bool sameValue(const QVariant &stored, const QVariant &wanted);

} // namespace FieldText
