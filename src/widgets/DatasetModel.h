#pragma once

#include "db/Dataset.h"

#include <QAbstractTableModel>
#include <QPointer>

// The rows of a dataset as a read-only table for a grid. Rows come from
// the dataset's cache without moving its current record and are read from
// the database a block at a time, as the view scrolls (canFetchMore /
// fetchMore). While a record is being inserted it appears as an extra row
// at the current place.
class DatasetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    struct Column {
        QString fieldName;
        QString caption;        // empty: the field's display label
        bool checkBox = false;  // drawn as a check box ...
        QVariant checkedValue;  // ... checked when the value equals this
    };

    explicit DatasetModel(QObject *parent = nullptr);

    void setDataset(Dataset *dataset);
    Dataset *dataset() const { return m_dataset; }

    // Without columns, every field is shown under its display label.
    void setColumns(const QVector<Column> &columns);
    void addColumn(const QString &fieldName, const QString &caption = {});
    void addCheckBoxColumn(const QString &fieldName, const QString &caption, const QVariant &checkedValue);
    const QVector<Column> &columns() const { return m_columns; }

    // The grid row of the dataset's current record; -1 when there is none.
    int currentRow() const;
    // Makes the record shown in row current. A record being edited or
    // inserted is posted first; raises when the post is refused.
    bool makeCurrent(int row);
    // The field shown in a column; null while the dataset is closed.
    Field *columnField(int column) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

signals:
    // The current record moved to another row (or the rows were reset).
    void currentRowChanged(int row);

private:
    void reset();
    void onRowsLoaded();
    void onCurrentChanged();
    void onRecordChanged();
    void onStateChanged();
    void placeInsertRow();
    void takeSnapshot();
    void resolveColumns();
    QVariant rowValue(int row, int fieldIndex) const;
    int fieldIndexOf(int column) const;

    QPointer<Dataset> m_dataset;
    QVector<Column> m_columns;
    QVector<Column> m_shown;     // the columns in force (all fields when none are set)
    QVector<int> m_fieldIndex;   // per shown column; -1 when the field is missing
    int m_rowCount = 0;
    int m_insertRow = -1;        // row of a record being inserted
    // The current record as stored, kept while browsing: an insert pushes
    // it one row down while the dataset shows the new record in its place.
    QVector<QVariant> m_snapshot;
    int m_snapshotIndex = -1;
    bool m_fetchFailed = false;  // the last further read was refused
    QList<QMetaObject::Connection> m_connections;
};
