// Searching (locate), bookmarks and filters.
#include "db/Dataset.h"

#include "db/FieldValue.h"

int Dataset::compareForLocate(const QVariant &stored, const QVariant &wanted,
                              LocateOptions options) const
{
    if (FieldValue::isNull(stored) || FieldValue::isNull(wanted))
        return (FieldValue::isNull(stored) && FieldValue::isNull(wanted)) ? 0 : 1;
    const QString a = stored.toString();
    const QString b = wanted.toString();
    const Qt::CaseSensitivity cs = options.testFlag(CaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    if (options.testFlag(PartialKey))
        return a.startsWith(b, cs) ? 0 : 1;
    return a.compare(b, cs) == 0 ? 0 : 1;
}

bool Dataset::isKeySearch(const QStringList &fieldNames, const QVariantList &values, LocateOptions options,
                          QVariantList &key) const
{
    const QStringList keys = keyFields();
    if (!windowed() || options != NoOptions || keys.isEmpty() || fieldNames.size() != keys.size()
        || values.size() != keys.size())
        return false;
    key.clear();
    for (const QString &k : keys) {
        int at = -1;
        for (int i = 0; i < fieldNames.size(); ++i) {
            if (fieldNames.at(i).compare(k, Qt::CaseInsensitive) == 0)
                at = i;
        }
        if (at < 0 || !values.at(at).isValid() || values.at(at).isNull())
            return false;
        key << values.at(at);
    }
    return true;
}

bool Dataset::locate(const QStringList &fieldNames, const QVariantList &values, LocateOptions options)
{
    checkActive();
    if (m_state != Browse)
        post();
    QVector<int> idx;
    for (const QString &n : fieldNames)
        idx.append(fieldByName(n)->index());
    auto matches = [&](const Row &r) {
        for (int k = 0; k < idx.size(); ++k) {
            const QVariant wanted = k < values.size() ? values.at(k) : QVariant();
            if (compareForLocate(r.values.at(idx.at(k)), wanted, options) != 0)
                return false;
        }
        return true;
    };
    QVariantList key;
    const bool keySearch = isKeySearch(fieldNames, values, options, key);
    const Bookmark before = bookmark();
    bool reread = false; // the rows read changed under the current record
    // Any search but one on the key looks at every row from the first.
    if (!keySearch && !m_headExhausted) {
        restartFromTop();
        reread = true;
    }
    bool asked = false;
    for (int i = 0;; ++i) {
        if (i >= m_visible.size() && (!m_exhausted || !m_headExhausted) && !asked) {
            asked = true;
            if (!mayHold(fieldNames, values, options))
                break;
            if (keySearch) {
                // The database finds the row: reading starts there.
                openWindowAt(key);
                reread = true;
                if (!m_visible.isEmpty() && matches(m_rows.at(m_visible.first()))) {
                    m_bof = m_eof = false;
                    m_cur = -1;
                    moveTo(0, true);
                    return true;
                }
                // The engine compares otherwise than the search: look at
                // every row.
                restartFromTop();
                i = -1;
                continue;
            }
        }
        loadUntil(i);
        if (i >= m_visible.size())
            break;
        if (matches(m_rows.at(m_visible.at(i)))) {
            m_bof = m_eof = false;
            moveTo(i, true);
            return true;
        }
    }
    // Not found: the current record stays where it was.
    if (reread && !before.key.isEmpty()) {
        openWindowAt(before.key);
        m_cur = m_visible.isEmpty() ? -1 : 0;
        m_bof = m_eof = m_visible.isEmpty();
        emit currentChanged();
    }
    return false;
}

Dataset::Bookmark Dataset::bookmark() const
{
    Bookmark b;
    const bool editing = m_state == Edit || m_state == Insert;
    if (m_state == Inactive || m_cur < 0 || (!editing && m_cur >= m_visible.size()))
        return b;
    b.row = m_cur;
    const QStringList keys = keyFields();
    // A record being edited or inserted is marked by the key it will have.
    const Row &r = editing ? m_buffer : m_rows.at(m_visible.at(m_cur));
    for (const QString &k : keys) {
        if (const Field *f = findField(k))
            b.key.append(r.values.at(f->index()));
    }
    if (b.key.size() != keys.size())
        b.key.clear();
    return b;
}

void Dataset::gotoBookmark(const Bookmark &bookmark)
{
    checkActive();
    if (!bookmark.isValid())
        return;
    if (!bookmark.key.isEmpty()) {
        // Marked by its key: a record that is gone leaves the position.
        locate(keyFields(), bookmark.key);
        return;
    }
    if (bookmark.row >= 0) {
        loadUntil(bookmark.row);
        if (!m_visible.isEmpty()) {
            m_bof = m_eof = false;
            moveTo(qMin(bookmark.row, m_visible.size() - 1), true);
        }
    }
}

bool Dataset::passes(Row &row)
{
    if (!m_filtered || !m_filter)
        return true;
    const Row *savedRow = m_calcRow;
    m_calcRow = &row;
    bool ok = false;
    try {
        ok = m_filter(*this);
    } catch (...) {
        m_calcRow = savedRow;
        throw;
    }
    m_calcRow = savedRow;
    return ok;
}

void Dataset::rebuildVisible()
{
    m_visible.clear();
    for (int i = 0; i < m_rows.size(); ++i) {
        if (passes(m_rows[i]))
            m_visible.append(i);
    }
}

void Dataset::setFilter(Filter filter)
{
    if (m_filtered && m_state != Inactive && m_state != Browse)
        post();
    m_filter = std::move(filter);
    if (m_filtered && m_state != Inactive) {
        restartFromTop();
        rebuildVisible();
        emit rowsReset();
        first();
    }
}

void Dataset::setFiltered(bool on)
{
    if (m_filtered == on)
        return;
    if (m_state != Inactive && m_state != Browse)
        post();
    m_filtered = on;
    if (m_state != Inactive) {
        restartFromTop();
        rebuildVisible();
        emit rowsReset();
        first();
    }
}

Dataset::Filter Dataset::fieldEquals(const QString &fieldName, const QString &text)
{
    return [fieldName, text](Dataset &ds) { return ds.fieldByName(fieldName)->asString() == text; };
}
