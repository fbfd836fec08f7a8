#include "widgets/DBNavigator.h"

#include "core/Guard.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

namespace {
struct ButtonInfo {
    const char *name;
    const char *hint;
    QStyle::StandardPixmap icon;
};

const ButtonInfo kButtons[DBNavigator::ButtonCount] = {
    {"First", "Move to first record", QStyle::SP_MediaSkipBackward},
    {"Previous10", "Move backward 10 records", QStyle::SP_MediaSeekBackward},
    {"Prior", "Move to prior record", QStyle::SP_ArrowLeft},
    {"Next", "Move to next record", QStyle::SP_ArrowRight},
    {"Next10", "Move forward 10 records", QStyle::SP_MediaSeekForward},
    {"Last", "Move to last record", QStyle::SP_MediaSkipForward},
    {"Insert", "Insert new record", QStyle::SP_FileDialogNewFolder},
    {"Delete", "Delete current record", QStyle::SP_TrashIcon},
    {"Edit", "Edit current record", QStyle::SP_FileDialogDetailedView},
    {"Post", "Post changes of current record", QStyle::SP_DialogApplyButton},
    {"Cancel", "Cancel changes made to current record", QStyle::SP_DialogCancelButton},
};
} // namespace

DBNavigator::DBNavigator(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < ButtonCount; ++i) {
        const auto which = static_cast<Button>(i);
        auto *b = new QToolButton(this);
        b->setObjectName(buttonName(which));
        b->setText(buttonName(which));
        b->setIcon(style()->standardIcon(kButtons[i].icon, nullptr, b));
        b->setToolTip(hint(which));
        b->setAccessibleName(hint(which));
        b->setAutoRaise(false);
        b->setFocusPolicy(Qt::TabFocus);
        layout->addWidget(b);
        vox::connect(b, &QToolButton::clicked, this, [this, which] { doAction(which); });
        m_buttons[i] = b;
    }
    layout->addStretch(1);
    setAccessibleName(QStringLiteral("Record navigator"));
    updateButtons();
}

QString DBNavigator::buttonName(Button which)
{
    return QString::fromLatin1(kButtons[which].name);
}

QString DBNavigator::hint(Button which)
{
    return QString::fromLatin1(kButtons[which].hint);
}

void DBNavigator::setDataset(Dataset *dataset)
{
    for (const auto &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_dataset = dataset;
    if (dataset) {
        for (auto signal : {&Dataset::opened, &Dataset::closed, &Dataset::rowsReset, &Dataset::currentChanged,
                            &Dataset::stateChanged})
            m_connections << vox::connect(dataset, signal, this, &DBNavigator::updateButtons);
        m_connections << vox::connect(dataset, &Dataset::rowsLoaded, this, [this] { updateButtons(); });
    }
    updateButtons();
}

void DBNavigator::setBeforeAction(Button which, std::function<void()> step)
{
    if (!step) {
        m_steps[which] = nullptr;
        return;
    }
    m_steps[which] = [step = std::move(step)] {
        step();
        return true;
    };
}

void DBNavigator::setBeforeActionGuard(Button which, std::function<bool()> step)
{
    m_steps[which] = std::move(step);
}

void DBNavigator::doAction(Button which)
{
    if (!m_dataset)
        return;
    if (m_steps[which] && !m_steps[which]())
        return;
    Dataset &ds = *m_dataset;
    switch (which) {
    case First:
        ds.first();
        break;
    case Previous10:
        ds.moveBy(-10);
        break;
    case Prior:
        ds.prior();
        break;
    case Next:
        ds.next();
        break;
    case Next10:
        ds.moveBy(10);
        break;
    case Last:
        ds.last();
        break;
    case Insert:
        ds.insert();
        break;
    case Delete:
        ds.remove();
        break;
    case Edit:
        ds.edit();
        break;
    case Post:
        ds.post();
        break;
    case Cancel:
        ds.cancel();
        break;
    }
    updateButtons();
    emit actionDone(which);
}

void DBNavigator::updateButtons()
{
    Dataset *ds = m_dataset;
    const bool active = ds && ds->isActive();
    const bool browsing = active && ds->state() == Dataset::Browse;
    const bool editing = active && (ds->state() == Dataset::Edit || ds->state() == Dataset::Insert);
    const bool writable = active && !ds->isReadOnly();
    const bool hasRows = browsing && ds->loadedCount() > 0;
    const int cur = active ? ds->currentIndex() : -1;
    const bool canGoBack = hasRows && ds->canMoveBack();
    const bool canGoOn = hasRows && !(ds->allLoaded() && cur >= ds->loadedCount() - 1);

    m_buttons[First]->setEnabled(canGoBack);
    m_buttons[Previous10]->setEnabled(canGoBack);
    m_buttons[Prior]->setEnabled(canGoBack);
    m_buttons[Next]->setEnabled(canGoOn);
    m_buttons[Next10]->setEnabled(canGoOn);
    m_buttons[Last]->setEnabled(canGoOn);
    m_buttons[Insert]->setEnabled(writable && browsing);
    m_buttons[Delete]->setEnabled(writable && hasRows);
    m_buttons[Edit]->setEnabled(writable && browsing);
    m_buttons[Post]->setEnabled(writable && editing);
    m_buttons[Cancel]->setEnabled(editing);
}
