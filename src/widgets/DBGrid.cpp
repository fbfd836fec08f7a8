#include "widgets/DBGrid.h"

#include "core/Guard.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QTimer>

DBGrid::DBGrid(QWidget *parent)
    : QTableView(parent)
    , m_model(new DatasetModel(this))
{
    setModel(m_model);
    setEditTriggers(NoEditTriggers);
    setSelectionBehavior(SelectRows);
    setSelectionMode(SingleSelection);
    setTabKeyNavigation(false);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    vox::connect(m_model, &DatasetModel::currentRowChanged, this, [this] { followDataset(); });
    vox::connect(m_model, &QAbstractItemModel::modelReset, this, &DBGrid::followDataset);
    vox::connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            emit cellClicked();
    });
}

void DBGrid::setDataset(Dataset *dataset)
{
    m_model->setDataset(dataset);
    updateAccessibleName();
}

void DBGrid::addColumn(const QString &fieldName, const QString &caption)
{
    m_model->addColumn(fieldName, caption);
}

void DBGrid::addCheckBoxColumn(const QString &fieldName, const QString &caption, const QVariant &checkedValue)
{
    m_model->addCheckBoxColumn(fieldName, caption, checkedValue);
}

void DBGrid::setColumns(const QVector<DatasetModel::Column> &columns)
{
    m_model->setColumns(columns);
}

void DBGrid::updateAccessibleName()
{
    const QString current = accessibleName();
    if (!current.isEmpty() && current != m_defaultName)
        return;
    m_defaultName = dataset() ? dataset()->objectName() : QString();
    setAccessibleName(m_defaultName);
}

void DBGrid::followDataset()
{
    m_followPending = false;
    QItemSelectionModel *selection = selectionModel();
    if (!selection)
        return;
    QScopedValueRollback<bool> guard(m_following, true);
    const int row = m_model->currentRow();
    if (row < 0) {
        selection->clear();
        return;
    }
    const int column = currentIndex().isValid() ? currentIndex().column() : 0;
    const QModelIndex index = m_model->index(row, column);
    if (index != currentIndex() || !selection->isRowSelected(row, {}))
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

void DBGrid::scheduleFollow()
{
    if (m_followPending)
        return;
    m_followPending = true;
    QTimer::singleShot(0, this, vox::guarded([this] {
        if (m_followPending)
            followDataset();
    }));
}

void DBGrid::mousePressEvent(QMouseEvent *event)
{
    // The record moves before the view reacts: a refused post then raises
    // with the grid untouched, and a post that re-reads the rows does not
    // pull them from under the view's own handling of the press.
    // A refused move abandons the press.
    vox::guard([&] {
        if (event->button() == Qt::LeftButton) {
            const QModelIndex index = indexAt(event->position().toPoint());
            if (index.isValid() && index.row() != m_model->currentRow())
                m_model->makeCurrent(index.row());
        }
        QTableView::mousePressEvent(event);
    });
}

QModelIndex DBGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    // Called from the view's key handling: a refused move is reported and
    // the grid stays on the record.
    QModelIndex result = currentIndex();
    vox::guard([&] { result = moveToward(cursorAction, modifiers); });
    return result;
}

QModelIndex DBGrid::moveToward(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    // Moves past the rows read so far (the dataset may hold rows before
    // them, after a search on its key, or after them) go to the dataset.
    Dataset *ds = dataset();
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    if (ds && ds->isActive()) {
        const int cur = m_model->currentRow();
        const int column = qMax(0, currentIndex().column());
        if (cur == 0 && (cursorAction == MoveUp || cursorAction == MovePageUp)) {
            const int page = qMax(1, viewport()->height() / qMax(1, rowHeight(0)));
            ds->moveBy(cursorAction == MoveUp ? -1 : -page);
            return m_model->index(m_model->currentRow(), column);
        }
        if (ctrl && (cursorAction == MoveHome || cursorAction == MoveEnd)) {
            if (cursorAction == MoveHome)
                ds->first();
            else
                ds->last();
            return m_model->index(m_model->currentRow(), column);
        }
    }
    const QModelIndex target = QTableView::moveCursor(cursorAction, modifiers);
    if (!target.isValid() || target.row() == m_model->currentRow())
        return target;
    const int column = target.column();
    if (!m_model->makeCurrent(target.row()))
        return target;
    return m_model->index(m_model->currentRow(), column);
}

void DBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_following || !current.isValid() || current.row() == m_model->currentRow())
        return;
    // Any other way the selection moved (accessibility, a program): follow
    // it here, where an exception must not unwind through the selection
    // model; it is reported and the grid goes back to the record.
    vox::guard([&] { m_model->makeCurrent(current.row()); });
    scheduleFollow();
}
