#include "users/UserRules.h"

#include "core/VoxError.h"
#include "db/RightsList.h"
#include "db/TableView.h"
#include "net/RiskCommand.h"
#include "net/Services.h"
#include "users/SHA.h"

namespace {
const QString kUserNo = QStringLiteral("User_No");

void sendUserFlag(bool on, const char *attribute, const QString &userNo)
{
    sendRiskCommand(riskFlagCommand(on, QLatin1String(attribute), QLatin1String(voxRisk::OrderServer),
                                    QLatin1String(voxRisk::User), userNo));
}

bool outside8Bit(QChar c)
{
    return c.unicode() > 0xFF;
}
} // namespace

const char *const UserRules::IncorrectPassword = "Incorrect password entry.";
const char *const UserRules::PasswordNot8Bit =
    "The password may only hold characters of the 8-bit character set.";
const char *const UserRules::BadUserNumber =
    "The user number may not hold \"|\", control characters or characters outside the 8-bit character set.";

struct UserRules::Impl {
    Dataset *users;
    Query *profile;
    UserScreen *screen;
    State state;
    // The restriction states last handed to the risk manager, shown for
    // that user until another stored user becomes current: riskman_file
    // may not have caught up with them yet.
    struct Sent {
        bool valid = false;
        QString userNo;
        bool suspend = false;
        bool skip = false;
    } sent;
};

UserRules::UserRules(Dataset &users, Query &profile, UserScreen &screen)
    : d(std::make_shared<Impl>(Impl{&users, &profile, &screen, {}, {}}))
{
    const std::weak_ptr<Impl> alive = d;
    auto bind = [this, alive](void (UserRules::*fn)(Dataset &)) {
        return [this, alive, fn](Dataset &ds) {
            if (alive.lock())
                (this->*fn)(ds);
        };
    };
    users.afterOpen = bind(&UserRules::User_FileAfterOpen);
    users.onCalcFields = &User_FileCalcFields;
    users.afterScroll = bind(&UserRules::User_FileAfterScroll);
    users.onNewRecord = &User_FileNewRecord;
    users.beforePost = bind(&UserRules::User_FileBeforePost);
    users.afterPost = bind(&UserRules::User_FileAfterPost);
    users.afterCancel = bind(&UserRules::User_FileAfterCancel);
    profile.onCalcFields = &User_ProfileCalcFields;
}

UserRules::~UserRules() = default;

const UserRules::State &UserRules::state() const
{
    return d->state;
}

QString UserRules::digestOf(TSHA &sha, const QString &text)
{
    sha.Init();
    sha.HashString(text);
    sha.Finish();
    return sha.GetHashString();
}

void UserRules::checkUserNumber(const QString &userNo)
{
    for (const QChar c : userNo) {
        if (c == QLatin1Char('|') || outside8Bit(c) || c.category() == QChar::Other_Control)
            throw VoxError(QString::fromLatin1(BadUserNumber));
    }
}

void UserRules::checkPassword(const QString &password)
{
    for (const QChar c : password) {
        if (outside8Bit(c))
            throw VoxError(QString::fromLatin1(PasswordNot8Bit));
    }
}

void UserRules::User_FileAfterOpen(Dataset &ds)
{
    d->screen->setSupervisorBox(ds.fieldByName(QStringLiteral("isadmin"))->asBoolean());
}

void UserRules::User_FileCalcFields(Dataset &ds)
{
    const Field *admin = ds.fieldByName(QStringLiteral("AdminUser"));
    ds.fieldByName(QStringLiteral("isadmin"))->setValue(!admin->isNull() && admin->asInteger() == 9);
}

void UserRules::User_FileAfterScroll(Dataset &ds)
{
    d->state.loadedPassword = ds.fieldByName(QStringLiteral("user_password"))->asString();
    d->screen->setSupervisorBox(ds.fieldByName(QStringLiteral("isadmin"))->asBoolean());

    const QString userNo = ds.fieldByName(kUserNo)->asString();
    bool suspend = false;
    bool skip = false;
    if (d->sent.valid && userNo == d->sent.userNo) {
        suspend = d->sent.suspend;
        skip = d->sent.skip;
    } else {
        // Another stored user: from now on riskman_file speaks for the one
        // posted last. A new record being entered keeps what was sent.
        if (ds.state() == Dataset::Browse)
            d->sent = {};
        Query *profile = d->profile;
        profile->close();
        profile->setParam(QStringLiteral("userid"), userNo);
        profile->open();
        if (!profile->isEmpty()) {
            for (profile->first(); !profile->eof(); profile->next()) {
                suspend = suspend || profile->fieldByName(QStringLiteral("SUSPEND"))->asBoolean();
                skip = skip || profile->fieldByName(QStringLiteral("SKIPSSELL"))->asBoolean();
            }
        }
    }
    d->screen->setSuspendBox(suspend);
    d->screen->setSkipShortSellBox(skip);
    d->screen->setRightsWorkingList(linesOf(ds.fieldByName(QStringLiteral("Authority"))->asString()));
}

void UserRules::User_FileNewRecord(Dataset &ds)
{
    ds.fieldByName(QStringLiteral("User_Group"))->setValue(QString());
}

void UserRules::User_FileBeforePost(Dataset &ds)
{
    // Checked before anything is changed: a refused record stays in
    // editing exactly as typed.
    Field *password = ds.fieldByName(QStringLiteral("User_Password"));
    checkUserNumber(ds.fieldByName(kUserNo)->asString());
    checkPassword(password->asString());
    // Whatever starts the post (the navigator, a list button, a move to
    // another row), a password typed on the screen must be confirmed.
    if (password->asString() != d->screen->passwordConfirmation())
        throw VoxError(QString::fromLatin1(IncorrectPassword));

    d->state.cancelBookmark = ds.bookmark();
    ds.fieldByName(QStringLiteral("Entitlement"))->setValue(QString());
    if (password->isNull() || password->asString() != d->state.loadedPassword)
        ds.fieldByName(QStringLiteral("PasswordHash"))->setValue(digestOf(d->screen->digest(), password->asString()));
    ds.fieldByName(QStringLiteral("AdminUser"))->setValue(d->screen->supervisorBox() ? 9 : 0);
    Field *group = ds.fieldByName(QStringLiteral("User_Group"));
    if (group->asString() == QLatin1String("NO GROUP"))
        group->setValue(QString());
    d->state.rememberedUserNo = ds.fieldByName(kUserNo)->asString();
    d->state.rememberedGroup = group->asString();
}

void UserRules::User_FileAfterPost(Dataset &ds)
{
    const QString userNo = d->state.rememberedUserNo;
    const bool suspend = d->screen->suspendBox();
    const bool skip = d->screen->skipShortSellBox();
    // The record is written: the screen is brought up to date even when a
    // command cannot be handed over, and the failure is reported after.
    std::exception_ptr failure;
    try {
        sendUserFlag(suspend, voxRisk::Suspend, userNo);
        sendUserFlag(skip, voxRisk::SkipShortSell, userNo);
    } catch (...) {
        failure = std::current_exception();
    }

    ds.refresh();
    // The user just written is shown: when the window lists another group,
    // it lists the user's own group first.
    if (!ds.locate(QStringLiteral("user_no"), userNo)) {
        d->screen->showGroup(d->state.rememberedGroup);
        ds.locate(QStringLiteral("user_no"), userNo);
    }
    // The boxes show what was handed over; when nothing could be, what the
    // table holds.
    if (!failure)
        d->sent = {true, userNo, suspend, skip};
    User_FileAfterScroll(ds);
    d->screen->setUserNumberEditable(false);
    if (failure)
        std::rethrow_exception(failure);
}

void UserRules::User_FileAfterCancel(Dataset &ds)
{
    ds.refresh();
    if (d->state.cancelBookmark.isValid())
        ds.gotoBookmark(d->state.cancelBookmark);
    d->screen->setUserNumberEditable(false);
    // Every box shows the record shown, not the one abandoned.
    if (ds.isActive() && !ds.isEmpty())
        User_FileAfterScroll(ds);
}

void UserRules::User_ProfileCalcFields(Dataset &ds)
{
    const QString attribute = ds.fieldByName(QStringLiteral("attribute"))->asString();
    ds.fieldByName(QStringLiteral("SUSPEND"))->setValue(attribute.contains(QLatin1String("SUSPEND")));
    ds.fieldByName(QStringLiteral("SKIPSSELL"))->setValue(attribute.contains(QLatin1String("SKIPSSELL")));
}
