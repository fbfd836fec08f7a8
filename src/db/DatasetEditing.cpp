// The edit and insert states: changing field values, the required check,
// post, cancel and delete, with their events.
#include "db/Dataset.h"

#include "core/VoxError.h"
#include "db/FieldValue.h"
#include "db/RowWrite.h"

void Dataset::edit()
{
    checkActive();
    if (m_state == Edit || m_state == Insert)
        return;
    checkWritable();
    if (isEmpty()) {
        insert();
        return;
    }
    m_original = m_rows.at(m_visible.at(m_cur));
    m_buffer = m_original;
    m_modified = false;
    setState(Edit);
    emit recordChanged();
}

void Dataset::insert()
{
    checkWritable();
    if (m_state != Browse)
        post();
    loadUntil(0);
    startInsert(m_cur >= 0 ? m_visible.at(m_cur) : m_rows.size(), m_cur < 0 ? 0 : m_cur);
}

void Dataset::startInsert(int rowIndex, int visibleIndex)
{
    m_curBeforeInsert = m_cur;
    m_insertAt = rowIndex;
    m_buffer = Row();
    m_buffer.values.resize(m_fields.size());
    m_original = m_buffer;
    m_modified = false;
    setState(Insert);
    m_cur = visibleIndex;
    fire(onNewRecord);
    recalcBuffer();
    emit recordChanged();
    fire(afterInsert);
    emit currentChanged();
    fire(afterScroll);
}

void Dataset::writeValue(int index, const QVariant &value)
{
    const FieldDef &def = m_fields.at(index)->def();
    if (m_calcWritable) {
        if (!def.calculated)
            throw VoxError(QStringLiteral("Field '%1' cannot be modified").arg(def.name));
        m_calcWritable->values[index] = value;
        return;
    }
    if (m_state != Edit && m_state != Insert)
        throw VoxError(QStringLiteral("Dataset not in edit or insert mode"));
    QVariant v = value;
    if (def.type == FieldType::FixedChar && !FieldValue::isNull(v))
        v = FieldValue::trimRight(v.toString());
    if (m_buffer.values.at(index) == v && FieldValue::isNull(m_buffer.values.at(index)) == FieldValue::isNull(v))
        return;
    m_buffer.values[index] = v;
    m_modified = true;
    if (!def.calculated)
        recalcBuffer();
    emit recordChanged();
}

void Dataset::recalcBuffer()
{
    calcRow(m_buffer);
}

void Dataset::checkRequired()
{
    for (Field *f : std::as_const(m_fields)) {
        if (f->def().calculated || !f->def().required)
            continue;
        const QVariant v = m_buffer.values.at(f->index());
        const bool empty = FieldValue::isNull(v) || (f->def().isText() && v.toString().isEmpty());
        if (empty) {
            emit focusFieldRequested(f->name());
            throw VoxError(QStringLiteral("Field '%1' must have a value").arg(f->displayLabel()));
        }
    }
}

void Dataset::post()
{
    checkActive();
    if (m_state != Edit && m_state != Insert)
        return;
    fire(beforePost);
    checkRequired();
    try {
        if (m_state == Edit)
            writeUpdate(m_original.values, m_buffer.values);
        else
            writeInsert(m_buffer.values);
    } catch (const RecordChangedError &) {
        readAgainAfterConflict();
        throw;
    }

    // Written: the cache takes the record.
    recalcBuffer();
    const QVariantList postedKey = keyFields().isEmpty() ? QVariantList() : keyOf(m_buffer);
    // Rows still to come from the database may include this record: they
    // are skipped, the cache has it.
    if ((!m_exhausted || !m_headExhausted) && !postedKey.isEmpty())
        m_postedKeys.insert(keyText(postedKey));
    if (m_state == Edit) {
        m_rows[m_visible.at(m_cur)] = m_buffer;
    } else {
        m_rows.insert(m_insertAt, m_buffer);
        for (int &v : m_visible) {
            if (v >= m_insertAt)
                ++v;
        }
        // A new record stays visible where it was entered.
        int place = 0;
        while (place < m_visible.size() && m_visible.at(place) < m_insertAt)
            ++place;
        m_visible.insert(place, m_insertAt);
        m_cur = place;
    }
    m_buffer = Row();
    m_original = Row();
    m_modified = false;
    m_bof = m_eof = false;
    setState(Browse);
    emit rowsReset();
    emit currentChanged();
    emit recordChanged();
    fire(afterPost);
}

void Dataset::readAgainAfterConflict()
{
    // Nothing was written: the operator's change goes, and the record is
    // shown as another console left it.
    m_buffer = Row();
    m_original = Row();
    m_modified = false;
    if (m_state == Insert) {
        m_cur = m_curBeforeInsert;
        if (m_cur >= m_visible.size())
            m_cur = m_visible.size() - 1;
    }
    setState(Browse);
    refresh();
    emit rowsReset();
    fireScroll();
}

void Dataset::cancel()
{
    if (m_state != Edit && m_state != Insert)
        return;
    const bool wasInsert = m_state == Insert;
    m_buffer = Row();
    m_original = Row();
    m_modified = false;
    if (wasInsert) {
        m_cur = m_curBeforeInsert;
        if (m_cur >= m_visible.size())
            m_cur = m_visible.size() - 1;
    }
    setState(Browse);
    emit rowsReset();
    emit currentChanged();
    emit recordChanged();
    fire(afterCancel);
}

void Dataset::remove()
{
    checkWritable();
    if (m_state == Insert) {
        cancel();
        return;
    }
    if (m_state == Edit) {
        // The record being edited is the one deleted: its changes go
        // without a cancel (whose rules might move elsewhere).
        m_buffer = Row();
        m_original = Row();
        m_modified = false;
        setState(Browse);
    }
    if (isEmpty())
        throw VoxError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    fire(beforeDelete);
    const int rowIndex = m_visible.at(m_cur);
    try {
        writeDelete(m_rows.at(rowIndex).values);
    } catch (const RecordChangedError &) {
        readAgainAfterConflict();
        throw;
    }
    m_rows.remove(rowIndex);
    m_visible.remove(m_cur);
    for (int &v : m_visible) {
        if (v > rowIndex)
            --v;
    }
    // The next record becomes current: read it if it was not read yet, or,
    // when the rows read are gone, the ones before them.
    loadUntil(m_cur);
    if (m_visible.isEmpty())
        loadBefore();
    if (m_cur >= m_visible.size())
        m_cur = m_visible.size() - 1;
    if (m_cur < 0 && !m_visible.isEmpty())
        m_cur = 0;
    m_eof = m_bof = m_visible.isEmpty();
    emit rowsReset();
    fire(afterDelete);
    fireScroll();
}
