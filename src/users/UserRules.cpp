#include "users/UserRules.h"

#include "core/VoxError.h"
#include "db/AdminData.h"
#include "db/RightsList.h"
#include "net/RiskCommand.h"
#include "net/Services.h"
#include "users/SHA.h"
#include "users/UserForm.h"
#include "widgets/DBEdit.h"

#include <QCheckBox>
#include <QLineEdit>

namespace {
const QString kUserNo = QStringLiteral("User_No");

bool boxChecked(QCheckBox *box)
{
    return box && box->isChecked();
}

void setBox(QCheckBox *box, bool on)
{
    if (box)
        box->setChecked(on);
}

void disableUserNumberEdit()
{
    if (TUserForm *form = TUserForm::current())
        form->UserIDField->setEnabled(false);
}

void sendUserFlag(bool on, const char *attribute, const QString &userNo)
{
    sendRiskCommand(riskFlagCommand(on, QLatin1String(attribute), QLatin1String(voxRisk::OrderServer),
                                    QLatin1String(voxRisk::User), userNo));
}
} // namespace

UserRules::State &UserRules::state()
{
    static State s;
    return s;
}

QString UserRules::digestOf(TSHA &sha, const QString &text)
{
    sha.Init();
    sha.HashString(text);
    sha.Finish();
    return sha.GetHashString();
}

void UserRules::install(TAdminData *d)
{
    if (!d)
        return;
    Dataset *users = d->User_File;
    users->afterOpen = &User_FileAfterOpen;
    users->onCalcFields = &User_FileCalcFields;
    users->afterScroll = &User_FileAfterScroll;
    users->onNewRecord = &User_FileNewRecord;
    users->beforePost = &User_FileBeforePost;
    users->afterPost = &User_FileAfterPost;
    users->afterCancel = &User_FileAfterCancel;
    d->User_Profile->onCalcFields = &User_ProfileCalcFields;
}

void UserRules::User_FileAfterOpen(Dataset &ds)
{
    if (TUserForm *form = TUserForm::current())
        setBox(form->CheckBox3, ds.fieldByName(QStringLiteral("isadmin"))->asBoolean());
}

void UserRules::User_FileCalcFields(Dataset &ds)
{
    const Field *admin = ds.fieldByName(QStringLiteral("AdminUser"));
    ds.fieldByName(QStringLiteral("isadmin"))->setValue(!admin->isNull() && admin->asInteger() == 9);
}

void UserRules::User_FileAfterScroll(Dataset &ds)
{
    state().loadedPassword = ds.fieldByName(QStringLiteral("user_password"))->asString();
    TUserForm *form = TUserForm::current();
    if (form)
        setBox(form->CheckBox3, ds.fieldByName(QStringLiteral("isadmin"))->asBoolean());

    Query *profile = TAdminData::required().User_Profile;
    profile->close();
    profile->setParam(QStringLiteral("userid"), ds.fieldByName(kUserNo)->asString());
    profile->open();
    bool suspend = false;
    bool skip = false;
    if (!profile->isEmpty()) {
        for (profile->first(); !profile->eof(); profile->next()) {
            suspend = suspend || profile->fieldByName(QStringLiteral("SUSPEND"))->asBoolean();
            skip = skip || profile->fieldByName(QStringLiteral("SKIPSSELL"))->asBoolean();
        }
    }
    if (form) {
        setBox(form->CheckBox1, suspend);
        setBox(form->CheckBox10, skip);
        form->rightsWorkingList() = linesOf(ds.fieldByName(QStringLiteral("Authority"))->asString());
    }
}

void UserRules::User_FileNewRecord(Dataset &ds)
{
    ds.fieldByName(QStringLiteral("User_Group"))->setValue(QString());
}

void UserRules::User_FileBeforePost(Dataset &ds)
{
    // Whatever starts the post (the navigator, a list button, a move to
    // another row), a password typed on the screen must be confirmed.
    if (TUserForm *form = TUserForm::current()) {
        if (form->PasswordField->text() != form->PassWordFirmField->text())
            throw VoxError(QStringLiteral("Incorrect password entry."));
    }
    state().cancelBookmark = ds.bookmark();
    ds.fieldByName(QStringLiteral("Entitlement"))->setValue(QString());

    Field *password = ds.fieldByName(QStringLiteral("User_Password"));
    if (password->isNull() || password->asString() != state().loadedPassword) {
        TUserForm *form = TUserForm::current();
        TSHA local;
        TSHA &sha = form ? *form->SHA1 : local;
        ds.fieldByName(QStringLiteral("PasswordHash"))->setValue(digestOf(sha, password->asString()));
    }

    TUserForm *form = TUserForm::current();
    ds.fieldByName(QStringLiteral("AdminUser"))->setValue(boxChecked(form ? form->CheckBox3 : nullptr) ? 9 : 0);

    Field *group = ds.fieldByName(QStringLiteral("User_Group"));
    if (group->asString() == QLatin1String("NO GROUP"))
        group->setValue(QString());

    state().rememberedUserNo = ds.fieldByName(kUserNo)->asString();
}

void UserRules::User_FileAfterPost(Dataset &ds)
{
    TUserForm *form = TUserForm::current();
    const QString userNo = state().rememberedUserNo;
    // The record is written: the screen is brought up to date even when a
    // command cannot be handed over, and the failure is reported after.
    std::exception_ptr failure;
    try {
        sendUserFlag(boxChecked(form ? form->CheckBox1 : nullptr), voxRisk::Suspend, userNo);
        sendUserFlag(boxChecked(form ? form->CheckBox10 : nullptr), voxRisk::SkipShortSell, userNo);
    } catch (...) {
        failure = std::current_exception();
    }

    ds.refresh();
    // A record the filter now hides is not found; the restriction boxes and
    // lists are then reloaded for the record the dataset shows.
    if (!ds.locate(QStringLiteral("user_no"), userNo))
        User_FileAfterScroll(ds);
    disableUserNumberEdit();
    if (failure)
        std::rethrow_exception(failure);
}

void UserRules::User_FileAfterCancel(Dataset &ds)
{
    ds.refresh();
    if (state().cancelBookmark.isValid())
        ds.gotoBookmark(state().cancelBookmark);
    disableUserNumberEdit();
}

void UserRules::User_ProfileCalcFields(Dataset &ds)
{
    const QString attribute = ds.fieldByName(QStringLiteral("attribute"))->asString();
    ds.fieldByName(QStringLiteral("SUSPEND"))->setValue(attribute.contains(QLatin1String("SUSPEND")));
    ds.fieldByName(QStringLiteral("SKIPSSELL"))->setValue(attribute.contains(QLatin1String("SKIPSSELL")));
}
