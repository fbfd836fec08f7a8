#pragma once

#include "widgets/DatasetModel.h"

#include <QTableView>

// A read-only grid over a dataset: one row per record, whole-row single
// selection. The selected row follows the dataset's current record, and
// moving the selection (mouse or keyboard) makes that record current,
// posting a record being edited first. Rows are read as the grid scrolls.
class DBGrid : public QTableView
{
    Q_OBJECT
public:
    explicit DBGrid(QWidget *parent = nullptr);

    void setDataset(Dataset *dataset);
    Dataset *dataset() const { return m_model->dataset(); }
    DatasetModel *datasetModel() const { return m_model; }

    // Columns, left to right, as (field name, caption) pairs.
    void addColumn(const QString &fieldName, const QString &caption = {});
    // A column drawn as a check box: checked when the field holds
    // checkedValue (e.g. 9), clear otherwise.
    void addCheckBoxColumn(const QString &fieldName, const QString &caption, const QVariant &checkedValue);
    void setColumns(const QVector<DatasetModel::Column> &columns);

signals:
    // The operator clicked a cell (after its record became current).
    void cellClicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    QModelIndex moveToward(CursorAction cursorAction, Qt::KeyboardModifiers modifiers);
    void followDataset();
    void scheduleFollow();
    void updateAccessibleName();

    DatasetModel *m_model;
    bool m_following = false;
    bool m_followPending = false;
    QString m_defaultName;
};
