#include "shell/UnconfirmedForm.h"

#include "core/Guard.h"
#include "net/RiskOutbox.h"
#include "widgets/Named.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
constexpr int IdRole = Qt::UserRole + 1;
}

TUnconfirmedForm::TUnconfirmedForm(RiskOutbox *outbox, QWidget *parent)
    : QWidget(parent)
    , m_outbox(outbox)
{
    setObjectName(QStringLiteral("TUnconfirmedForm"));
    setWindowTitle(QStringLiteral("Unconfirmed Commands"));
    setAttribute(Qt::WA_DeleteOnClose);

    CommandList = named(new QTableWidget(0, 3, this), "CommandList");
    CommandList->setHorizontalHeaderLabels({QStringLiteral("Sent"), QStringLiteral("Service"), QStringLiteral("Command")});
    CommandList->setSelectionBehavior(QAbstractItemView::SelectRows);
    CommandList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    CommandList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    CommandList->verticalHeader()->setVisible(false);
    CommandList->horizontalHeader()->setStretchLastSection(true);
    CommandList->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    CommandList->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    // A command reads on one line; the window opens wide enough for one.
    CommandList->setWordWrap(false);
    CommandList->setMinimumSize(620, 200);

    ResendButton = named(new QPushButton(QStringLiteral("&Resend"), this), "ResendButton");
    DismissButton = named(new QPushButton(QStringLiteral("&Dismiss"), this), "DismissButton");
    CloseButton = named(new QPushButton(QStringLiteral("&Close"), this), "CloseButton");

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(ResendButton);
    buttons->addWidget(DismissButton);
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(CommandList);
    layout->addLayout(buttons);
    resize(640, 300);

    vox::connect(ResendButton, &QPushButton::clicked, this, &TUnconfirmedForm::ResendButtonClick);
    vox::connect(DismissButton, &QPushButton::clicked, this, &TUnconfirmedForm::DismissButtonClick);
    vox::connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
    vox::connect(CommandList, &QTableWidget::itemSelectionChanged, this, &TUnconfirmedForm::updateButtons);
    if (m_outbox)
        vox::connect(m_outbox.data(), &RiskOutbox::changed, this, &TUnconfirmedForm::refresh);
    refresh();
}

void TUnconfirmedForm::refresh()
{
    const QList<quint64> selected = selectedIds();
    const QSet<quint64> keep(selected.cbegin(), selected.cend());
    const QList<RiskOutbox::Entry> entries = m_outbox ? m_outbox->unconfirmed() : QList<RiskOutbox::Entry>();
    CommandList->clearSelection();
    CommandList->setRowCount(int(entries.size()));
    for (int i = 0; i < entries.size(); ++i) {
        const RiskOutbox::Entry &e = entries.at(i);
        auto *sent = new QTableWidgetItem(e.sentAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
        sent->setData(IdRole, e.id);
        CommandList->setItem(i, 0, sent);
        CommandList->setItem(i, 1, new QTableWidgetItem(e.service));
        CommandList->setItem(i, 2, new QTableWidgetItem(e.command));
        if (keep.contains(e.id))
            CommandList->selectRow(i);
    }
    updateButtons();
}

QList<quint64> TUnconfirmedForm::selectedIds() const
{
    QList<quint64> ids;
    for (int row = 0; row < CommandList->rowCount(); ++row) {
        QTableWidgetItem *item = CommandList->item(row, 0);
        if (item && item->isSelected())
            ids << item->data(IdRole).toULongLong();
    }
    return ids;
}

void TUnconfirmedForm::updateButtons()
{
    const bool any = m_outbox && !selectedIds().isEmpty();
    ResendButton->setEnabled(any);
    DismissButton->setEnabled(any);
}

void TUnconfirmedForm::ResendButtonClick()
{
    if (m_outbox)
        m_outbox->resend(selectedIds());
    refresh();
}

void TUnconfirmedForm::DismissButtonClick()
{
    if (m_outbox)
        m_outbox->dismiss(selectedIds());
    refresh();
}
