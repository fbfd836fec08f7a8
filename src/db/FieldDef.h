#pragma once

#include <QString>
#include <QVector>

// Column types of the suite's tables, as the console sees them.
enum class FieldType {
    FixedChar, // char(n): blank-padded by some engines, read without trailing blanks
    VarChar,   // varchar(n)
    Memo,      // long text
    Integer,
    SmallInt,
    Float,
    Boolean,   // bit: 0 and 1 on every engine
    DateTime,
    RowVersion // maintained by the server; read, never written
};

struct FieldDef {
    QString name;
    FieldType type = FieldType::VarChar;
    int size = 0;          // declared width of text columns
    bool required = false;
    QString displayLabel;  // caption in grids and messages
    bool calculated = false;

    QString label() const { return displayLabel.isEmpty() ? name : displayLabel; }
    bool isText() const
    {
        return type == FieldType::FixedChar || type == FieldType::VarChar || type == FieldType::Memo;
    }
};

using FieldDefs = QVector<FieldDef>;
