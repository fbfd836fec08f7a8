#pragma once

#include <QStringList>
#include <QWidget>

class QLabel;
class QPushButton;
class QTabWidget;
class DBGrid;
class SortedListBox;
class TableView;

// The group maintenance window: edits a group's template rights list and,
// on request, copies it over the rights of every member of the group.
class TGroupForm : public QWidget
{
    Q_OBJECT
public:
    explicit TGroupForm(QWidget *parent = nullptr);
    ~TGroupForm() override;

    static TGroupForm *current();
    // The group rights working list while the window is shown.
    QStringList *groupRightsWorkingList() { return m_hasList ? &m_rights : nullptr; }

    QTabWidget *PageControl1;
    QWidget *TabSheet1;
    QWidget *TabSheet2;
    DBGrid *DBGrid1;
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
    void UpdateRightList();
    void SaveGroupAuthority();
    void updateHeader();

    QStringList m_rights;
    bool m_hasList = false;
    bool m_shown = false;
    QLabel *m_groupId = nullptr;
    QLabel *m_groupName = nullptr;
};

// The data module's rule on Group_File: after the current group changes,
// the group window's working list takes that group's rights.
void Group_FileAfterScroll(class Dataset &ds);
