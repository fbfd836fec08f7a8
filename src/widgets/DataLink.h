#pragma once

#include "db/Dataset.h"

#include <QPointer>
#include <QString>
#include <functional>

class QWidget;

// The tie between one data-aware control and one field of a dataset. The
// field is looked up by name each time, since a dataset builds its fields
// when it opens.
class DataLink
{
public:
    void bind(Dataset *dataset, const QString &fieldName);
    // Binds control to the field and keeps it up to date: onAccess when the
    // dataset opens, closes or changes state (what the operator may do),
    // onRecord when it opens, closes or shows another or a changed record;
    // the control takes the focus when a post is refused for the field.
    // Replaces any earlier binding of this link.
    void attach(QWidget *control, Dataset *dataset, const QString &fieldName,
                const std::function<void()> &onAccess, const std::function<void()> &onRecord);

    Dataset *dataset() const { return m_dataset; }
    const QString &fieldName() const { return m_fieldName; }
    bool isActive() const { return m_dataset && m_dataset->isActive(); }
    // The bound field; null while the dataset is closed or has no such field.
    Field *field() const;
    bool isField(const QString &name) const;
    // The field's display label (its name when it has none).
    QString label() const;
    // Declared width of a text field, 0 for no limit.
    int maxLength() const;

    // Whether the operator may change the field: the dataset is open and
    // not read-only, and the field is neither calculated nor maintained by
    // the server.
    bool canModify() const;
    // Puts a browsing dataset into Edit (Insert when it is empty), the way
    // a keystroke in a data-aware control does. Raises as edit() does.
    void beginEdit();
    // Writes typed text to the field, putting the dataset into editing
    // first. Text that is not (yet) a value of the field's type, such as a
    // number still being typed, is not written. Returns false when the field
    // cannot be changed. Raises as edit() does.
    bool writeText(const QString &text);
    // What a control that shows the field does with text the operator
    // typed or picked: writes it (writeText) without being refreshed from
    // the dataset meanwhile, and shows the field's value again (the
    // onRecord step given to attach) when the text could not be written or
    // the write raised. Raises what writeText raises.
    void writeTyped(const QString &text);
    // While typed text is being written: the control keeps what it shows.
    bool isWriting() const { return m_writing; }

    // Gives the control the field's label as its accessible name unless the
    // window has given it one of its own.
    void applyAccessibleName(QWidget *widget);

private:
    const FieldDef *declared() const;

    QPointer<Dataset> m_dataset;
    QList<QMetaObject::Connection> m_connections;
    QString m_fieldName;
    QString m_defaultName; // accessible name this link gave the control
    std::function<void()> m_onRecord;
    bool m_writing = false;
};
