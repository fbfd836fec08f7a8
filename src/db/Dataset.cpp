// The dataset's life (open, close, refresh), navigation and field access.
#include "db/Dataset.h"

#include "core/VoxError.h"
#include "db/DbConnection.h"
#include "db/SqlDialect.h"

Dataset::Dataset(const QString &name, DbConnection *connection, QObject *parent)
    : QObject(parent)
    , m_name(name)
    , m_conn(connection)
{
    setObjectName(name);
}

Dataset::~Dataset()
{
    m_cursor.reset();
    qDeleteAll(m_fields);
}

void Dataset::addCalculatedField(const QString &name, FieldType type)
{
    FieldDef def;
    def.name = name;
    def.type = type;
    def.calculated = true;
    m_calculated.append(def);
}

void Dataset::checkActive() const
{
    if (m_state == Inactive)
        throw VoxError(QStringLiteral("%1: Cannot perform this operation on a closed dataset").arg(m_name));
}

void Dataset::checkWritable() const
{
    checkActive();
    if (m_readOnly)
        throw VoxError(QStringLiteral("Cannot modify a read-only dataset"));
}

QString Dataset::dialectSql(const QString &sql) const
{
    return SqlDialect::adapt(sql, m_conn->dialect());
}

void Dataset::open()
{
    if (m_state != Inactive)
        return;
    resetCursor();
    executeSelect();
    loadBlock();
    setState(Browse);
    m_cur = m_visible.isEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = m_visible.isEmpty();
    emit opened();
    emit rowsReset();
    emit currentChanged();
    fire(afterOpen);
    if (m_cur >= 0)
        fire(afterScroll);
}

void Dataset::close()
{
    if (m_state == Inactive)
        return;
    resetCursor();
    m_buffer = Row();
    m_original = Row();
    m_modified = false;
    setState(Inactive);
    emit closed();
    emit rowsReset();
    fire(afterClose);
}

void Dataset::refresh()
{
    checkActive();
    if (m_state != Browse)
        post();
    const Bookmark mark = bookmark();
    if (windowed() && !mark.key.isEmpty()) {
        // Read again from the current record on: the rows before it are
        // read when the operator moves back to them.
        openWindowAt(mark.key);
        m_cur = m_visible.isEmpty() ? -1 : 0;
        m_bof = m_eof = m_visible.isEmpty();
        emit currentChanged();
        emit recordChanged();
        return;
    }
    resetCursor();
    executeSelect();
    loadBlock();
    m_cur = m_visible.isEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = m_visible.isEmpty();
    if (mark.isValid()) {
        if (!mark.key.isEmpty()) {
            const QStringList keys = keyFields();
            for (int i = 0;; ++i) {
                loadUntil(i);
                if (i >= m_visible.size())
                    break;
                const Row &r = m_rows.at(m_visible.at(i));
                bool same = true;
                for (int k = 0; k < keys.size() && same; ++k) {
                    const Field *f = fieldByName(keys.at(k));
                    same = r.values.at(f->index()) == mark.key.at(k);
                }
                if (same) {
                    m_cur = i;
                    break;
                }
            }
        } else if (mark.row >= 0) {
            loadUntil(mark.row);
            if (!m_visible.isEmpty())
                m_cur = qMin(mark.row, m_visible.size() - 1);
        }
        m_bof = m_eof = false;
        if (m_visible.isEmpty())
            m_bof = m_eof = true;
    }
    emit rowsReset();
    emit currentChanged();
    emit recordChanged();
}

void Dataset::first()
{
    checkActive();
    if (m_state != Browse)
        post();
    restartFromTop();
    loadUntil(0);
    m_bof = true;
    m_eof = m_visible.isEmpty();
    moveTo(m_visible.isEmpty() ? -1 : 0, true);
}

void Dataset::last()
{
    checkActive();
    if (m_state != Browse)
        post();
    if (windowed() && !m_exhausted)
        openWindowAtEnd();
    else
        loadAll();
    m_eof = true;
    m_bof = m_visible.isEmpty();
    moveTo(m_visible.size() - 1, true);
}

void Dataset::next()
{
    moveBy(1);
}

void Dataset::prior()
{
    moveBy(-1);
}

int Dataset::moveBy(int n)
{
    checkActive();
    if (m_state != Browse)
        post();
    if (n == 0 || m_visible.isEmpty()) {
        if (m_visible.isEmpty())
            m_eof = m_bof = true;
        return 0;
    }
    int target = m_cur + n;
    if (n > 0) {
        loadUntil(target);
        m_bof = false;
        if (target >= m_visible.size()) {
            target = m_visible.size() - 1;
            m_eof = true;
        } else {
            m_eof = false;
        }
    } else {
        m_eof = false;
        while (target < 0 && !m_headExhausted) {
            const int added = loadBefore();
            if (added == 0)
                break;
            target += added;
        }
        if (target < 0) {
            target = 0;
            m_bof = true;
        } else {
            m_bof = false;
        }
    }
    const int moved = target - m_cur;
    if (moved != 0)
        moveTo(target, true);
    return moved;
}

bool Dataset::setCurrentIndex(int index)
{
    checkActive();
    if (index < 0)
        return false;
    loadUntil(index);
    if (index >= m_visible.size())
        return false;
    if (index == m_cur)
        return true;
    if (m_state != Browse)
        post();
    m_bof = m_eof = false;
    moveTo(index, true);
    return true;
}

bool Dataset::isEmpty()
{
    if (m_state == Inactive)
        return true;
    loadUntil(0);
    return m_visible.isEmpty() && m_state != Insert;
}

int Dataset::recordCount()
{
    if (m_state == Inactive)
        return 0;
    if (windowed() && (!m_headExhausted || !m_exhausted)) {
        const int n = countRows();
        if (n >= 0)
            return n;
    }
    loadAll();
    return m_visible.size();
}

Field *Dataset::findField(const QString &name) const
{
    for (Field *f : m_fields) {
        if (f->name().compare(name, Qt::CaseInsensitive) == 0)
            return f;
    }
    return nullptr;
}

Field *Dataset::fieldByName(const QString &name) const
{
    Field *f = findField(name);
    if (!f)
        throw VoxError(QStringLiteral("%1: Field '%2' not found").arg(m_name, name));
    return f;
}

QVariant Dataset::readValue(int index) const
{
    const Row *row = nullptr;
    if (m_calcRow)
        row = m_calcRow;
    else if (m_state == Edit || m_state == Insert)
        row = &m_buffer;
    else if (m_cur >= 0 && m_cur < m_visible.size())
        row = &m_rows.at(m_visible.at(m_cur));
    if (!row || index < 0 || index >= row->values.size())
        return {};
    return row->values.at(index);
}

QVariant Dataset::valueAt(int visibleRow, int fieldIndex) const
{
    if (m_state == Insert && visibleRow == m_cur)
        return m_buffer.values.value(fieldIndex);
    if (m_state == Edit && visibleRow == m_cur)
        return m_buffer.values.value(fieldIndex);
    if (visibleRow < 0 || visibleRow >= m_visible.size())
        return {};
    return m_rows.at(m_visible.at(visibleRow)).values.value(fieldIndex);
}

void Dataset::setState(State s)
{
    if (m_state == s)
        return;
    m_state = s;
    emit stateChanged();
}

void Dataset::fire(const Handler &h)
{
    if (h)
        h(*this);
}

void Dataset::fireScroll()
{
    emit currentChanged();
    emit recordChanged();
    fire(afterScroll);
}

void Dataset::moveTo(int index, bool fireScrollEvent)
{
    const int old = m_cur;
    m_cur = index;
    if (fireScrollEvent || old != index)
        fireScroll();
}
