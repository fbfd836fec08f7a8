#pragma once

#include "users/GroupRules.h"

#include <QStringList>
#include <QWidget>
#include <memory>

class QLabel;
class QPushButton;
class QTabWidget;
class DBGrid;
class ListAssignment;
class SortedListBox;
class TableView;

// The group maintenance window: edits a group's template rights list and,
// on request, copies it over the rights of every member of the group. The
// window hands its rules itself as their screen.
class TGroupForm : public QWidget, private GroupScreen
{
    Q_OBJECT
public:
    explicit TGroupForm(QWidget *parent = nullptr);
    ~TGroupForm() override;

    // The group rights working list while the window is shown.
    const QStringList *groupRightsWorkingList() const { return m_hasList ? &m_rights : nullptr; }

    QTabWidget *PageControl1;
    QWidget *TabSheet1;
    QWidget *TabSheet2;
    DBGrid *DBGrid1;
    ListAssignment *RightsAssignment;
    SortedListBox *RightListBox;
    SortedListBox *UserRightListBox;
    QPushButton *BitBtn7;
    QPushButton *BitBtn8;
    QPushButton *BitBtn1;
    QPushButton *BitBtn2;
    QPushButton *Button1;
    // The window's own dataset on the user table; no rules are attached.
    TableView *MyUser_File;

public slots:
    void FormShow();
    void DBGrid1CellClick();
    void BitBtn7Click();
    void BitBtn8Click();
    void BitBtn1Click();
    void BitBtn2Click();
    void Button1Click();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // GroupScreen
    bool hasGroupRightsWorkingList() const override { return m_hasList; }
    void setGroupRightsWorkingList(const QStringList &rights) override { m_rights = rights; }

    void UpdateRightList();
    void SaveGroupAuthority();
    void updateHeader();

    std::unique_ptr<GroupRules> m_rules;
    QStringList m_rights;
    bool m_hasList = false;
    bool m_shown = false;
    QLabel *m_groupId = nullptr;
    QLabel *m_groupName = nullptr;
};
