#pragma once

#include <QPointer>
#include <QWidget>

class QPushButton;
class QTableWidget;
class RiskOutbox;

// "Unconfirmed Commands": the risk commands whose effect the risk manager's
// table did not show within the deadline, with when they were sent and to
// which service. The selected ones can be sent again or dismissed.
class TUnconfirmedForm : public QWidget
{
    Q_OBJECT
public:
    explicit TUnconfirmedForm(RiskOutbox *outbox, QWidget *parent = nullptr);

    QTableWidget *CommandList = nullptr;
    QPushButton *ResendButton = nullptr;
    QPushButton *DismissButton = nullptr;
    QPushButton *CloseButton = nullptr;

    // Lists the outbox's unconfirmed commands again, keeping the selection.
    void refresh();
    // Ids of the selected commands, in list order.
    QList<quint64> selectedIds() const;

public slots:
    void ResendButtonClick();
    void DismissButtonClick();

private:
    void updateButtons();

    QPointer<RiskOutbox> m_outbox;
};
