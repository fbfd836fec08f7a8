#pragma once

#include "users/UserRules.h"

#include <QStringList>
#include <QWidget>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class DBEdit;
class DBComboBox;
class DBGrid;
class DBNavigator;
class ListAssignment;
class SortedListBox;
class TSHA;

// The user maintenance window: dealer users, their passwords, groups,
// supervisor flag, restriction boxes, rights and member lists. It edits the
// shared User_File dataset, whose rules hash passwords and send the
// restriction commands. The window hands its rules itself as their
// screen; they never work with another window.
class TUserForm : public QWidget, private UserScreen
{
    Q_OBJECT
public:
    explicit TUserForm(QWidget *parent = nullptr);
    ~TUserForm() override;

    const QStringList &rightsWorkingList() const { return m_rights; }
    const QStringList &memberWorkingList() const { return m_members; }

    // Left: the group list.
    QListWidget *ListBox1;
    QTabWidget *PageControl1;
    QWidget *TabSheet2;
    QWidget *TabSheet1;
    QWidget *TabSheet3;
    // "User Information"
    DBGrid *wwDBGrid1;
    DBEdit *UserIDField;
    DBEdit *FullNameField;
    DBComboBox *GroupField;
    DBEdit *PasswordField;
    QLineEdit *PassWordFirmField;
    DBEdit *OGIDField;
    DBEdit *DummyACField;
    QCheckBox *CheckBox1;
    QCheckBox *CheckBox10;
    QCheckBox *CheckBox3;
    QCheckBox *CheckBox2;
    // "User Authority"
    ListAssignment *RightsAssignment;
    SortedListBox *RightListBox;
    SortedListBox *UserRightListBox;
    QPushButton *BitBtn7;
    QPushButton *BitBtn8;
    QPushButton *BitBtn1;
    QPushButton *BitBtn2;
    // "Member Setting"
    ListAssignment *MembersAssignment;
    SortedListBox *MemberListBox;
    SortedListBox *UserMemberListBox;
    QPushButton *BitBtn10;
    QPushButton *BitBtn11;
    QPushButton *BitBtn12;
    QPushButton *Button1;
    // Bottom
    DBNavigator *wwDBNavigator1;
    TSHA *SHA1;

    // The message shown when a list is saved for a new user never posted.
    static const char *const PostNewUserFirst;

public slots:
    void FormCreate();
    void FormShow();
    void ListBox1Click();
    void CheckBox2Click();
    void TabSheet2Show();
    void TabSheet1Show();
    void TabSheet3Show();
    void UserIDFieldChange();
    void UserIDFieldExit();
    void InsertClick();
    void EditClick();
    void PostClick();
    void DeleteClick();
    void BitBtn7Click();
    void BitBtn8Click();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn10Click();
    void BitBtn11Click();
    void BitBtn12Click();
    void Button1Click();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // UserScreen
    QString passwordConfirmation() const override;
    bool supervisorBox() const override;
    void setSupervisorBox(bool on) override;
    bool suspendBox() const override;
    void setSuspendBox(bool on) override;
    bool skipShortSellBox() const override;
    void setSkipShortSellBox(bool on) override;
    void setUserNumberEditable(bool on) override;
    void setRightsWorkingList(const QStringList &rights) override;
    TSHA &digest() override;
    void showGroup(const QString &group) override;

    QWidget *buildInformationTab();
    ListAssignment *buildListTab(QWidget *page, const QString &availableCaption, const QString &chosenCaption,
                                 const char *const names[6]);
    QWidget *header(QWidget *parent);
    void updateHeaders();
    void SaveAuthority();
    void SaveMember();
    void saveList(const QString &fieldName, SortedListBox *box, QStringList &working);
    static QStringList allUserNumbers();

    std::unique_ptr<UserRules> m_rules;
    QStringList m_rights;
    QStringList m_members;
    QList<QLabel *> m_headerLabels;
    bool m_shown = false;
};
