#include "widgets/DatasetModel.h"

#include "core/Guard.h"
#include "widgets/FieldText.h"

DatasetModel::DatasetModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void DatasetModel::setDataset(Dataset *dataset)
{
    for (const auto &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_dataset = dataset;
    if (dataset) {
        m_connections << vox::connect(dataset, &Dataset::rowsReset, this, &DatasetModel::reset)
                      << vox::connect(dataset, &Dataset::closed, this, &DatasetModel::reset)
                      << vox::connect(dataset, &Dataset::rowsLoaded, this, [this] { onRowsLoaded(); })
                      << vox::connect(dataset, &Dataset::currentChanged, this, &DatasetModel::onCurrentChanged)
                      << vox::connect(dataset, &Dataset::recordChanged, this, &DatasetModel::onRecordChanged)
                      << vox::connect(dataset, &Dataset::stateChanged, this, &DatasetModel::onStateChanged);
    }
    reset();
}

void DatasetModel::setColumns(const QVector<Column> &columns)
{
    m_columns = columns;
    reset();
}

void DatasetModel::addColumn(const QString &fieldName, const QString &caption)
{
    m_columns.append({fieldName, caption, false, {}});
    reset();
}

void DatasetModel::addCheckBoxColumn(const QString &fieldName, const QString &caption,
                                     const QVariant &checkedValue)
{
    m_columns.append({fieldName, caption, true, checkedValue});
    reset();
}

void DatasetModel::resolveColumns()
{
    m_shown = m_columns;
    const bool active = m_dataset && m_dataset->isActive();
    if (m_shown.isEmpty() && m_dataset) {
        if (active) {
            for (const Field *f : m_dataset->fields())
                m_shown.append({f->name(), {}, false, {}});
        } else {
            for (const FieldDef &d : m_dataset->fieldDefs())
                m_shown.append({d.name, {}, false, {}});
        }
    }
    m_fieldIndex.clear();
    for (const Column &c : std::as_const(m_shown)) {
        const Field *f = active ? m_dataset->findField(c.fieldName) : nullptr;
        m_fieldIndex.append(f ? f->index() : -1);
    }
}

void DatasetModel::reset()
{
    beginResetModel();
    resolveColumns();
    m_insertRow = -1;
    m_rowCount = 0;
    m_fetchFailed = false;
    if (m_dataset && m_dataset->isActive()) {
        m_rowCount = m_dataset->loadedCount();
        if (m_dataset->state() == Dataset::Insert) {
            m_insertRow = qBound(0, m_dataset->currentIndex(), m_rowCount);
            ++m_rowCount;
        }
    }
    takeSnapshot();
    endResetModel();
    emit currentRowChanged(currentRow());
}

void DatasetModel::takeSnapshot()
{
    if (!m_dataset || m_dataset->state() != Dataset::Browse || m_dataset->currentIndex() < 0)
        return;
    m_snapshotIndex = m_dataset->currentIndex();
    const int n = m_dataset->fields().size();
    m_snapshot.resize(n);
    for (int i = 0; i < n; ++i)
        m_snapshot[i] = m_dataset->valueAt(m_snapshotIndex, i);
}

void DatasetModel::onRowsLoaded()
{
    // Rows are read at the end; a reset follows when they were read anew.
    if (!m_dataset || !m_dataset->isActive())
        return;
    const int count = m_dataset->loadedCount() + (m_insertRow >= 0 ? 1 : 0);
    if (count <= m_rowCount)
        return;
    beginInsertRows({}, m_rowCount, count - 1);
    m_rowCount = count;
    endInsertRows();
}

void DatasetModel::placeInsertRow()
{
    // The dataset takes its new place only after it has entered Insert, so
    // the row is added at the first notice that follows.
    if (m_insertRow >= 0 || !m_dataset || m_dataset->state() != Dataset::Insert)
        return;
    const int row = qBound(0, m_dataset->currentIndex(), m_rowCount);
    beginInsertRows({}, row, row);
    m_insertRow = row;
    ++m_rowCount;
    endInsertRows();
}

void DatasetModel::onCurrentChanged()
{
    placeInsertRow();
    takeSnapshot();
    emit currentRowChanged(currentRow());
}

void DatasetModel::onRecordChanged()
{
    const bool placed = m_insertRow < 0;
    placeInsertRow();
    takeSnapshot();
    const int row = currentRow();
    if (row >= 0 && !m_shown.isEmpty())
        emit dataChanged(index(row, 0), index(row, m_shown.size() - 1));
    if (placed && m_insertRow >= 0)
        emit currentRowChanged(row);
}

void DatasetModel::onStateChanged()
{
    if (m_insertRow >= 0 && (!m_dataset || m_dataset->state() != Dataset::Insert))
        reset();
}

int DatasetModel::currentRow() const
{
    if (!m_dataset || !m_dataset->isActive())
        return -1;
    if (m_insertRow >= 0)
        return m_insertRow;
    const int cur = m_dataset->currentIndex();
    return cur < m_rowCount ? cur : -1;
}

bool DatasetModel::makeCurrent(int row)
{
    if (!m_dataset || !m_dataset->isActive() || row < 0 || row >= m_rowCount)
        return false;
    if (row == currentRow())
        return true;
    if (m_insertRow >= 0) {
        // Once posted, the new record keeps its place: the rows on screen
        // are then the dataset's own.
        m_dataset->post();
    }
    return m_dataset->setCurrentIndex(row);
}

QVariant DatasetModel::rowValue(int row, int fieldIndex) const
{
    if (m_insertRow < 0 || row < m_insertRow)
        return m_dataset->valueAt(row, fieldIndex);
    if (row == m_insertRow)
        return m_dataset->valueAt(m_dataset->currentIndex(), fieldIndex);
    const int stored = row - 1;
    if (stored == m_dataset->currentIndex())
        return stored == m_snapshotIndex ? m_snapshot.value(fieldIndex) : QVariant();
    return m_dataset->valueAt(stored, fieldIndex);
}

int DatasetModel::fieldIndexOf(int column) const
{
    return column >= 0 && column < m_fieldIndex.size() ? m_fieldIndex.at(column) : -1;
}

Field *DatasetModel::columnField(int column) const
{
    const int fi = fieldIndexOf(column);
    return fi >= 0 && m_dataset ? m_dataset->fields().value(fi, nullptr) : nullptr;
}

int DatasetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int DatasetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_shown.size();
}

QVariant DatasetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rowCount || !m_dataset)
        return {};
    const Field *field = columnField(index.column());
    if (!field)
        return {};
    const Column &column = m_shown.at(index.column());
    switch (role) {
    case Qt::DisplayRole:
        if (column.checkBox)
            return {};
        return FieldText::format(field->def(), rowValue(index.row(), field->index()));
    case Qt::CheckStateRole:
        if (!column.checkBox)
            return {};
        return FieldText::sameValue(rowValue(index.row(), field->index()), column.checkedValue)
                   ? Qt::Checked
                   : Qt::Unchecked;
    case Qt::TextAlignmentRole:
        switch (field->def().type) {
        case FieldType::Integer:
        case FieldType::SmallInt:
        case FieldType::Float:
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        default:
            return {};
        }
    default:
        return {};
    }
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || section >= m_shown.size())
        return {};
    const Column &c = m_shown.at(section);
    if (!c.caption.isEmpty())
        return c.caption;
    if (const Field *f = columnField(section))
        return f->displayLabel();
    if (m_dataset) {
        for (const FieldDef &d : m_dataset->fieldDefs()) {
            if (d.name.compare(c.fieldName, Qt::CaseInsensitive) == 0)
                return d.label();
        }
    }
    return c.fieldName;
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

bool DatasetModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_fetchFailed && m_dataset && m_dataset->isActive() && !m_dataset->allLoaded();
}

void DatasetModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    // A read the database refuses is reported once; the view does not ask
    // again until the rows are read anew.
    m_fetchFailed = !vox::guard([&] { m_dataset->fetchMore(); }); // rows arrive through rowsLoaded
}
