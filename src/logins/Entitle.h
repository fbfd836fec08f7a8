#pragma once

#include "logins/EntitlementManagement.h"

#include <QWidget>

class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

// Two side-by-side lists that entries move between: the entitlements
// available and those held. Kept behind this class so the window does not
// depend on how the lists are drawn.
class EntitlementLists : public QWidget
{
    Q_OBJECT
public:
    explicit EntitlementLists(QWidget *parent = nullptr);

    QListWidget *Memo1; // available
    QListWidget *Memo2; // held

    void show(const EntitlementManagement::Entries &available, const EntitlementManagement::Entries &held);
    // The selected row of each list; -1 when none is selected.
    int availableRow() const;
    int heldRow() const;
};

// The Entitlement Management window: grants and revokes the entitlements
// of one customer account or dealer user.
class TEntitle : public QWidget
{
    Q_OBJECT
public:
    explicit TEntitle(QWidget *parent = nullptr);
    ~TEntitle() override;

    QLineEdit *Edit1;
    QRadioButton *AccountBox;
    QRadioButton *UserBox;
    QPushButton *Button6;
    EntitlementLists *Lists;
    QListWidget *Memo1;
    QListWidget *Memo2;
    QPushButton *Button1;
    QPushButton *Button2;
    QPushButton *Button3;
    QPushButton *Button5;
    QPushButton *Button7;

    EntitlementManagement &rules() { return m_rules; }

    void FormShow();
    void Button6Click();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button5Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void refresh();

    EntitlementManagement m_rules;
};
