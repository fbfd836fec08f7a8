#include "users/GroupRules.h"

#include "core/VoxError.h"
#include "db/Dataset.h"
#include "db/DbConnection.h"
#include "db/RightsList.h"

#include <QSqlDatabase>
#include <QSqlError>

struct GroupRules::Impl {
    GroupScreen *screen;
};

GroupRules::GroupRules(Dataset &groups, GroupScreen &screen)
    : d(std::make_shared<Impl>(Impl{&screen}))
{
    const std::weak_ptr<Impl> alive = d;
    groups.afterScroll = [this, alive](Dataset &ds) {
        if (alive.lock())
            Group_FileAfterScroll(ds);
    };
}

GroupRules::~GroupRules() = default;

void GroupRules::Group_FileAfterScroll(Dataset &ds)
{
    if (d->screen->hasGroupRightsWorkingList())
        d->screen->setGroupRightsWorkingList(linesOf(ds.fieldByName(QStringLiteral("Authority"))->asString()));
}

int GroupRules::applyToMembers(Dataset &users, const QString &groupId, const QString &authority)
{
    DbConnection *conn = users.connection();
    conn->ensureOpen();
    QSqlDatabase db = conn->database();
    if (!db.transaction())
        throw VoxError(db.lastError().text());
    int written = 0;
    try {
        // Read the members afresh on every apply: users may have joined or
        // left the group, or had their rights changed, since the last one.
        users.close();
        users.open();
        if (!users.isEmpty()) {
            for (users.first(); !users.eof(); users.next()) {
                if (users.fieldByName(QStringLiteral("User_Group"))->asString() != groupId)
                    continue;
                users.edit();
                users.fieldByName(QStringLiteral("Authority"))->setValue(authority);
                users.post();
                ++written;
            }
        }
        if (!db.commit())
            throw VoxError(db.lastError().text());
    } catch (...) {
        // None of the members keeps the new rights; the rows read no longer
        // match the table, so they are let go.
        try {
            if (users.state() == Dataset::Edit)
                users.cancel();
        } catch (...) {
        }
        db.rollback();
        try {
            users.close();
        } catch (...) {
        }
        throw;
    }
    return written;
}
