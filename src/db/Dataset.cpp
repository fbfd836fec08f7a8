#include "db/Dataset.h"

#include "core/VoxError.h"
#include "db/DbConnection.h"
#include "db/Schema.h"
#include "db/SqlDialect.h"

#include <QDateTime>
#include <QSqlField>
#include <QSqlRecord>

#include <sql.h>

namespace {
QString trimRight(const QString &s)
{
    int n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    return n == s.size() ? s : s.left(n);
}

bool isNullValue(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}

QString notEditing()
{
    return QStringLiteral("Dataset not in edit or insert mode");
}
} // namespace

// ---------------------------------------------------------------------------
// Field

Field::Field(Dataset *dataset, int index, FieldDef def)
    : m_dataset(dataset)
    , m_index(index)
    , m_def(std::move(def))
{
}

QVariant Field::value() const
{
    return m_dataset->readValue(m_index);
}

bool Field::isNull() const
{
    const QVariant v = value();
    if (isNullValue(v))
        return true;
    return m_def.isText() && v.toString().isEmpty();
}

QString Field::asString() const
{
    const QVariant v = value();
    if (isNullValue(v))
        return {};
    if (m_def.type == FieldType::Boolean)
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    if (m_def.type == FieldType::Float)
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

int Field::asInteger() const
{
    const QVariant v = value();
    return isNullValue(v) ? 0 : v.toInt();
}

double Field::asFloat() const
{
    const QVariant v = value();
    return isNullValue(v) ? 0.0 : v.toDouble();
}

bool Field::asBoolean() const
{
    const QVariant v = value();
    if (isNullValue(v))
        return false;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed();
        return s == QLatin1String("1") || s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    }
    return v.toBool();
}

void Field::setValue(const QVariant &value)
{
    m_dataset->writeValue(m_index, value);
}

// ---------------------------------------------------------------------------
// Dataset

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

QString Dataset::dialectSql(const QString &sql) const
{
    return SqlDialect::adapt(sql, m_conn->dialect());
}

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

void Dataset::buildFields(const QSqlRecord &record)
{
    qDeleteAll(m_fields);
    m_fields.clear();
    const TableDef *catalog = Schema::table(m_catalogTable);

    FieldDefs defs = m_declared;
    if (defs.isEmpty()) {
        for (int i = 0; i < record.count(); ++i) {
            const QSqlField f = record.field(i);
            const FieldDef *known = catalog ? catalog->column(f.name()) : nullptr;
            if (known) {
                defs.append(*known);
                continue;
            }
            FieldDef def;
            def.name = f.name();
            switch (f.metaType().id()) {
            case QMetaType::Int:
            case QMetaType::Short:
            case QMetaType::LongLong:
            case QMetaType::UInt:
                def.type = FieldType::Integer;
                break;
            case QMetaType::Double:
                def.type = FieldType::Float;
                break;
            case QMetaType::Bool:
                def.type = FieldType::Boolean;
                break;
            case QMetaType::QDateTime:
            case QMetaType::QDate:
                def.type = FieldType::DateTime;
                break;
            default:
                def.type = (f.typeID() == SQL_CHAR || f.typeID() == -8 /* SQL_WCHAR */) ? FieldType::FixedChar
                                                                                : FieldType::VarChar;
                break;
            }
            def.size = f.length() > 0 ? f.length() : 20;
            defs.append(def);
        }
    }
    for (const FieldDef &d : std::as_const(m_calculated))
        defs.append(d);
    for (int i = 0; i < defs.size(); ++i)
        m_fields.append(new Field(this, i, defs.at(i)));

    m_resultToField.fill(-1, record.count());
    for (int c = 0; c < record.count(); ++c) {
        const QString colName = record.fieldName(c);
        for (Field *f : std::as_const(m_fields)) {
            if (!f->def().calculated && f->name().compare(colName, Qt::CaseInsensitive) == 0) {
                m_resultToField[c] = f->index();
                break;
            }
        }
    }
    // A declared field the statement does not return is a fault of the
    // database, reported in its own words.
    for (Field *f : std::as_const(m_fields)) {
        if (f->def().calculated)
            continue;
        if (!m_resultToField.contains(f->index()))
            throw VoxError(QStringLiteral("%1: Field '%2' not found").arg(m_name, f->name()));
    }
}

Dataset::Row Dataset::convertRow(const QSqlQuery &query)
{
    Row row;
    row.values.resize(m_fields.size());
    for (int c = 0; c < m_resultToField.size(); ++c) {
        const int fi = m_resultToField.at(c);
        if (fi < 0)
            continue;
        QVariant v = query.value(c);
        if (isNullValue(v)) {
            row.values[fi] = QVariant();
            continue;
        }
        const FieldDef &def = m_fields.at(fi)->def();
        switch (def.type) {
        case FieldType::FixedChar:
            v = trimRight(v.toString());
            break;
        case FieldType::VarChar:
        case FieldType::Memo:
            v = v.toString();
            break;
        case FieldType::Integer:
        case FieldType::SmallInt:
            v = v.toInt();
            break;
        case FieldType::Float:
            v = v.toDouble();
            break;
        case FieldType::Boolean:
            if (v.typeId() == QMetaType::QString) {
                const QString s = v.toString().trimmed();
                v = (s == QLatin1String("1") || s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0);
            } else {
                v = v.toInt() != 0;
            }
            break;
        case FieldType::DateTime:
            if (v.typeId() != QMetaType::QDateTime)
                v = v.toDateTime();
            break;
        case FieldType::RowVersion:
            break;
        }
        row.values[fi] = v;
    }
    calcRow(row);
    return row;
}

void Dataset::calcRow(Row &row)
{
    if (!onCalcFields || m_calculated.isEmpty())
        return;
    const Row *savedRow = m_calcRow;
    Row *savedWritable = m_calcWritable;
    m_calcRow = &row;
    m_calcWritable = &row;
    try {
        onCalcFields(*this);
    } catch (...) {
        m_calcRow = savedRow;
        m_calcWritable = savedWritable;
        throw;
    }
    m_calcRow = savedRow;
    m_calcWritable = savedWritable;
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

int Dataset::loadBlock()
{
    if (m_exhausted || !m_cursor)
        return 0;
    const int firstVisible = m_visible.size();
    int read = 0;
    while (read < m_blockSize) {
        if (!m_cursor->next()) {
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

void Dataset::openWindowAt(const QVariantList &key)
{
    resetCursor();
    auto query = std::make_unique<QSqlQuery>(m_conn->newQuery());
    query->setForwardOnly(true);
    m_conn->prepareNamed(*query, windowSql(false, true), windowParams(key));
    m_conn->exec(*query);
    m_cursor = std::move(query);
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
    while (block.size() < m_blockSize && q.next())
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
    while (read < m_blockSize && q.next()) {
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
    m_exhausted = false;
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
        throw VoxError(notEditing());
    QVariant v = value;
    if (def.type == FieldType::FixedChar && !isNullValue(v))
        v = trimRight(v.toString());
    if (m_buffer.values.at(index) == v && isNullValue(m_buffer.values.at(index)) == isNullValue(v))
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

int Dataset::compareForLocate(const QVariant &stored, const QVariant &wanted,
                              LocateOptions options) const
{
    if (isNullValue(stored) || isNullValue(wanted))
        return (isNullValue(stored) && isNullValue(wanted)) ? 0 : 1;
    const QString a = stored.toString();
    const QString b = wanted.toString();
    const Qt::CaseSensitivity cs = options.testFlag(CaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    if (options.testFlag(PartialKey))
        return a.startsWith(b, cs) ? 0 : 1;
    return a.compare(b, cs) == 0 ? 0 : 1;
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

// --- editing ----------------------------------------------------------------

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

void Dataset::checkWritable() const
{
    checkActive();
    if (m_readOnly)
        throw VoxError(QStringLiteral("Cannot modify a read-only dataset"));
}

void Dataset::insert()
{
    checkWritable();
    if (m_state != Browse)
        post();
    loadUntil(0);
    startInsert(m_cur >= 0 ? m_visible.at(m_cur) : m_rows.size(), m_cur < 0 ? 0 : m_cur);
}

void Dataset::append()
{
    checkWritable();
    if (m_state != Browse)
        post();
    loadAll();
    startInsert(m_rows.size(), m_visible.size());
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

void Dataset::checkRequired()
{
    for (Field *f : std::as_const(m_fields)) {
        if (f->def().calculated || !f->def().required)
            continue;
        const QVariant v = m_buffer.values.at(f->index());
        const bool empty = isNullValue(v) || (f->def().isText() && v.toString().isEmpty());
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
    if (m_state == Edit)
        writeUpdate(m_original.values, m_buffer.values);
    else
        writeInsert(m_buffer.values);

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
    writeDelete(m_rows.at(rowIndex).values);
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

void Dataset::writeUpdate(const QVector<QVariant> &, const QVector<QVariant> &)
{
    throw VoxError(QStringLiteral("Cannot modify a read-only dataset"));
}

void Dataset::writeInsert(const QVector<QVariant> &)
{
    throw VoxError(QStringLiteral("Cannot modify a read-only dataset"));
}

void Dataset::writeDelete(const QVector<QVariant> &)
{
    throw VoxError(QStringLiteral("Cannot modify a read-only dataset"));
}

QVariant Dataset::bindValue(const FieldDef &def, const QVariant &value) const
{
    if (isNullValue(value)) {
        switch (def.type) {
        case FieldType::Integer:
        case FieldType::SmallInt:
        case FieldType::Boolean:
            return QVariant(QMetaType(QMetaType::Int));
        case FieldType::Float:
            return QVariant(QMetaType(QMetaType::Double));
        case FieldType::DateTime:
            return QVariant(QMetaType(QMetaType::QDateTime));
        default:
            return QVariant(QMetaType(QMetaType::QString));
        }
    }
    switch (def.type) {
    case FieldType::Boolean:
        return value.toBool() ? 1 : 0;
    case FieldType::Integer:
    case FieldType::SmallInt:
        return value.toInt();
    case FieldType::Float:
        return value.toDouble();
    case FieldType::DateTime:
        return value.toDateTime();
    default: {
        // Empty text is stored as empty text, never as NULL.
        const QString text = value.toString();
        return text.isNull() ? QStringLiteral("") : text;
    }
    }
}

void Dataset::execWrite(const QString &sql, const QVariantMap &params)
{
    QSqlQuery q = m_conn->newQuery();
    m_conn->prepareNamed(q, sql, params);
    m_conn->exec(q);
}
