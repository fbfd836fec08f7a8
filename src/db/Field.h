#pragma once

#include "db/FieldDef.h"

#include <QVariant>

class Dataset;

// One column of a dataset's current record (or of the record being edited,
// or of the row whose calculated fields are being computed).
class Field
{
public:
    Field(Dataset *dataset, int index, FieldDef def);

    const FieldDef &def() const { return m_def; }
    const QString &name() const { return m_def.name; }
    QString displayLabel() const { return m_def.label(); }
    int index() const { return m_index; }
    Dataset *dataset() const { return m_dataset; }

    QVariant value() const;
    bool isNull() const;
    // Texts come without trailing blanks for fixed-width columns.
    QString asString() const;
    int asInteger() const;
    double asFloat() const;
    bool asBoolean() const;

    // Only while the dataset is editing or inserting (or, for calculated
    // fields, while they are computed).
    void setValue(const QVariant &value);
    void clear() { setValue(QVariant()); }

private:
    Dataset *m_dataset;
    int m_index;
    FieldDef m_def;
};
