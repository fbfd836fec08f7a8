// Reading rows into the cache: forward blocks of the statement's result,
// and, for a dataset ordered by a unique key, windows of rows starting at a
// key or ending at the last row, extended backwards as needed.
#include "db/Dataset.h"

#include "core/VoxError.h"
#include "db/DbConnection.h"

#include <QSqlRecord>

void Dataset::resetCursor()
{
    m_cursor.reset();
    m_exhausted = true;
    m_headExhausted = true;
    m_headKey.clear();
    m_postedKeys.clear();
    m_rows.clear();
    m_visible.clear();
    m_cur = -1;
    m_eof = m_bof = true;
}

void Dataset::executeSelect()
{
    auto query = std::make_unique<QSqlQuery>(m_conn->newQuery());
    query->setForwardOnly(true);
    m_conn->prepareNamed(*query, selectSql(), parameterValues());
    m_conn->exec(*query);
    const QSqlRecord record = query->record();
    if (m_fields.isEmpty() || m_resultToField.size() != record.count() || m_declared.isEmpty())
        buildFields(record);
    m_cursor = std::move(query);
    m_cursorGeneration = m_conn->generation();
    m_exhausted = false;
}

int Dataset::loadBlock()
{
    if (m_exhausted || !m_cursor)
        return 0;
    if (m_cursorGeneration != m_conn->generation()) {
        // The link the rows came through is gone: what is left of them
        // cannot be read, and the rows read so far are not all there are.
        throw VoxError(QStringLiteral("%1: the connection to the database was lost while the rows were "
                                      "read. Open the table again.")
                           .arg(m_name));
    }
    const int firstVisible = m_visible.size();
    int read = 0;
    while (read < m_blockSize) {
        if (!m_conn->fetch(*m_cursor)) {
            m_exhausted = true;
            m_cursor->finish();
            m_cursor.reset();
            break;
        }
        Row row = convertRow(*m_cursor);
        ++read;
        if (!m_postedKeys.isEmpty() && m_postedKeys.contains(keyText(keyOf(row))))
            continue; // written by this dataset and cached already
        m_rows.append(std::move(row));
        if (passes(m_rows.last()))
            m_visible.append(m_rows.size() - 1);
    }
    const int added = m_visible.size() - firstVisible;
    if (added > 0)
        emit rowsLoaded(firstVisible, m_visible.size() - 1);
    return added;
}

int Dataset::fetchMore()
{
    if (m_state == Inactive)
        return 0;
    return loadBlock();
}

void Dataset::loadUntil(int visibleIndex)
{
    while (m_visible.size() <= visibleIndex && !m_exhausted)
        loadBlock();
}

void Dataset::loadAll()
{
    while (!m_exhausted)
        loadBlock();
}

QVariantList Dataset::keyOf(const Row &row) const
{
    QVariantList key;
    for (const QString &k : keyFields())
        key << row.values.at(fieldByName(k)->index());
    return key;
}

QString Dataset::keyText(const QVariantList &key)
{
    QStringList parts;
    for (const QVariant &v : key)
        parts << v.toString();
    return parts.join(QChar(0x1F));
}

QVariantMap Dataset::windowParams(const QVariantList &key) const
{
    QVariantMap params;
    const QStringList keys = keyFields();
    for (int i = 0; i < keys.size() && i < key.size(); ++i) {
        const Field *f = fieldByName(keys.at(i));
        params.insert(QStringLiteral("W_") + f->name(), bindValue(f->def(), key.at(i)));
    }
    return params;
}

void Dataset::openWindowAt(const QVariantList &key)
{
    resetCursor();
    auto query = std::make_unique<QSqlQuery>(m_conn->newQuery());
    query->setForwardOnly(true);
    // The statement's own parameters, and the key to start at.
    QVariantMap params = parameterValues();
    const QVariantMap window = windowParams(key);
    for (auto it = window.constBegin(); it != window.constEnd(); ++it)
        params.insert(it.key(), it.value());
    m_conn->prepareNamed(*query, windowSql(false, true), params);
    m_conn->exec(*query);
    m_cursor = std::move(query);
    m_cursorGeneration = m_conn->generation();
    m_exhausted = false;
    m_headExhausted = false;
    loadBlock();
    if (m_rows.isEmpty()) {
        // Nothing at or after the key: the last rows, read backwards.
        openWindowAtEnd();
        return;
    }
    m_headKey = keyOf(m_rows.first());
    emit rowsReset();
}

void Dataset::openWindowAtEnd()
{
    resetCursor();
    m_headExhausted = false;
    QSqlQuery q = m_conn->newQuery();
    q.setForwardOnly(true);
    m_conn->prepareNamed(q, windowSql(true, false), parameterValues());
    m_conn->exec(q);
    QVector<Row> block;
    while (block.size() < m_blockSize && m_conn->fetch(q))
        block.append(convertRow(q));
    m_headExhausted = block.size() < m_blockSize;
    q.finish();
    for (auto it = block.crbegin(); it != block.crend(); ++it) {
        m_rows.append(*it);
        m_visible.append(m_rows.size() - 1);
    }
    if (!m_rows.isEmpty())
        m_headKey = keyOf(m_rows.first());
    m_exhausted = true;
    emit rowsReset();
}

int Dataset::loadBefore()
{
    if (m_headExhausted)
        return 0;
    if (m_headKey.isEmpty()) {
        m_headExhausted = true;
        return 0;
    }
    QSqlQuery q = m_conn->newQuery();
    q.setForwardOnly(true);
    QVariantMap params = parameterValues();
    // Before the first row read from the database (not a record inserted
    // at the top of the window, whose key may sort anywhere).
    const QVariantMap window = windowParams(m_headKey);
    for (auto it = window.constBegin(); it != window.constEnd(); ++it)
        params.insert(it.key(), it.value());
    m_conn->prepareNamed(q, windowSql(true, true), params);
    m_conn->exec(q);
    QVector<Row> block;
    int read = 0;
    while (read < m_blockSize && m_conn->fetch(q)) {
        ++read;
        Row row = convertRow(q);
        m_headKey = keyOf(row); // rows come in reverse key order
        if (!m_postedKeys.isEmpty() && m_postedKeys.contains(keyText(m_headKey)))
            continue; // written by this dataset and cached already
        block.append(std::move(row));
    }
    if (read < m_blockSize)
        m_headExhausted = true;
    q.finish();
    const int n = block.size();
    if (n == 0)
        return 0;
    QVector<Row> rows;
    rows.reserve(m_rows.size() + n);
    for (auto it = block.crbegin(); it != block.crend(); ++it)
        rows.append(*it);
    rows += m_rows;
    m_rows = std::move(rows);
    QVector<int> visible;
    visible.reserve(m_visible.size() + n);
    for (int i = 0; i < n; ++i)
        visible.append(i);
    for (int v : std::as_const(m_visible))
        visible.append(v + n);
    m_visible = std::move(visible);
    if (m_cur >= 0)
        m_cur += n;
    if (m_insertAt >= 0)
        m_insertAt += n;
    if (m_curBeforeInsert >= 0)
        m_curBeforeInsert += n;
    emit rowsReset();
    return n;
}

void Dataset::restartFromTop()
{
    if (m_headExhausted)
        return;
    resetCursor();
    executeSelect();
    loadBlock();
    m_cur = m_visible.isEmpty() ? -1 : 0;
    emit rowsReset();
}
