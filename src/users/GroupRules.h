#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class Dataset;

// What the rule of the Group_File dataset uses of the group window: its
// group rights working list.
class GroupScreen
{
public:
    virtual ~GroupScreen() = default;
    // Whether the working list exists (it does while the window is shown).
    virtual bool hasGroupRightsWorkingList() const = 0;
    virtual void setGroupRightsWorkingList(const QStringList &rights) = 0;
};

// The rules of the groups: the working list follows the current group,
// and a group's template is copied over its members.
class GroupRules
{
public:
    // Attaches Group_FileAfterScroll to groups, working with screen; both
    // must outlive the rules. Once the rules are gone the rule does nothing.
    GroupRules(Dataset &groups, GroupScreen &screen);
    ~GroupRules();
    GroupRules(const GroupRules &) = delete;
    GroupRules &operator=(const GroupRules &) = delete;

    void Group_FileAfterScroll(Dataset &ds);

    // Sets the Authority of every record of users whose User_Group text
    // equals groupId exactly to authority, in one transaction: every member
    // is written or, when one write fails, none is and the failure is
    // raised. users is (re)opened and has no rules of its own. Returns the
    // number of members written.
    static int applyToMembers(Dataset &users, const QString &groupId, const QString &authority);

private:
    struct Impl;
    std::shared_ptr<Impl> d;
};
