#pragma once

#include "db/Dataset.h"

#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>

class QToolButton;

// A row of record buttons bound to a dataset. A button first runs the
// window's own step for it, if the window set one, and then its dataset
// action. A step that raises stops the action and the exception goes to the
// exception report; a guard step that returns false stops it quietly (the
// operator answered Cancel).
class DBNavigator : public QWidget
{
    Q_OBJECT
public:
    enum Button { First, Previous10, Prior, Next, Next10, Last, Insert, Delete, Edit, Post, Cancel };
    static constexpr int ButtonCount = Cancel + 1;

    explicit DBNavigator(QWidget *parent = nullptr);

    void setDataset(Dataset *dataset);
    Dataset *dataset() const { return m_dataset; }

    QToolButton *button(Button which) const { return m_buttons.at(which); }
    static QString buttonName(Button which);
    static QString hint(Button which);

    void setBeforeAction(Button which, std::function<void()> step);
    void setBeforeActionGuard(Button which, std::function<bool()> step);

    // What a click on the button does: the window's step, then the dataset
    // action. Raises what either raises.
    void doAction(Button which);

    // Enables the buttons for the dataset's state and position.
    void updateButtons();

signals:
    // A button's action ran to its end.
    void actionDone(DBNavigator::Button which);

private:
    QPointer<Dataset> m_dataset;
    std::array<QToolButton *, ButtonCount> m_buttons{};
    std::array<std::function<bool()>, ButtonCount> m_steps;
    QList<QMetaObject::Connection> m_connections;
};
