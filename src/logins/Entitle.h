#pragma once

#include "logins/EntitlementManagement.h"

#include <QWidget>

class ListAssignment;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

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
    // Available entitlements on the left (Memo1), held ones on the right
    // (Memo2), with Select, Remove and Remove All between them.
    ListAssignment *Lists;
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
