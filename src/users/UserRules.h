#pragma once

#include "db/Dataset.h"

#include <QString>
#include <QStringList>
#include <memory>

class Query;
class TSHA;

// What the rules of the user records use of the window that edits them:
// the password confirmation, the three boxes, the user number edit, the
// digest component and the rights working list. The window hands itself
// to its rules through this interface; the rules never reach any other
// window.
class UserScreen
{
public:
    virtual ~UserScreen() = default;

    // The text of "Enter Again".
    virtual QString passwordConfirmation() const = 0;
    // "As a Supervisor", "Suspend Trading", "Skip Short Sell".
    virtual bool supervisorBox() const = 0;
    virtual void setSupervisorBox(bool on) = 0;
    virtual bool suspendBox() const = 0;
    virtual void setSuspendBox(bool on) = 0;
    virtual bool skipShortSellBox() const = 0;
    virtual void setSkipShortSellBox(bool on) = 0;
    virtual void setUserNumberEditable(bool on) = 0;
    virtual void setRightsWorkingList(const QStringList &rights) = 0;
    virtual TSHA &digest() = 0;
    // Lists the users of group (empty: the users of no group) when the
    // window lists another group, so that a user just written is shown.
    virtual void showGroup(const QString &group) { (void)group; }
};

// The rules of the User_File dataset: supervisor flag, password digest,
// "NO GROUP", the user's restriction boxes read from riskman_file, and the
// two restriction commands after every successful post. One window's rules
// are attached to the dataset while they live; once they are gone the
// dataset runs only its calculated field.
class UserRules
{
public:
    // Messages of the checks made before a record is written.
    static const char *const IncorrectPassword;
    static const char *const PasswordNot8Bit;
    static const char *const BadUserNumber;

    // Attaches the rules to users (User_File) and profile (User_Profile),
    // working with screen; the three must outlive the rules.
    UserRules(Dataset &users, Query &profile, UserScreen &screen);
    ~UserRules();
    UserRules(const UserRules &) = delete;
    UserRules &operator=(const UserRules &) = delete;

    struct State {
        QString rememberedUserNo;
        QString rememberedGroup;
        QString loadedPassword;
        Dataset::Bookmark cancelBookmark;
    };
    const State &state() const;

    // The handlers themselves.
    void User_FileAfterOpen(Dataset &ds);
    void User_FileAfterScroll(Dataset &ds);
    void User_FileBeforePost(Dataset &ds);
    void User_FileAfterPost(Dataset &ds);
    void User_FileAfterCancel(Dataset &ds);
    static void User_FileCalcFields(Dataset &ds);
    static void User_FileNewRecord(Dataset &ds);
    static void User_ProfileCalcFields(Dataset &ds);

    // Raise the messages above for a user number holding "|", a control
    // character or a character outside 8 bits (no command could carry it),
    // and for a password holding a character outside 8 bits (the digest
    // takes 8-bit characters only).
    static void checkUserNumber(const QString &userNo);
    static void checkPassword(const QString &password);

    // The upper-case hexadecimal SHA-1 digest of text's 8-bit characters,
    // computed with sha (Init, HashString, Finish, GetHashString).
    static QString digestOf(TSHA &sha, const QString &text);

private:
    struct Impl;
    std::shared_ptr<Impl> d;
};
