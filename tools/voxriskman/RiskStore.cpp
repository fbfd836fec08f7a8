#include "RiskStore.h"

#include <QSqlError>
#include <QSqlQuery>

RiskStore::RiskStore(const QSqlDatabase &db)
    : m_db(db)
{
}

RiskStore::Result RiskStore::apply(const QByteArray &line)
{
    if (line == "PING|")
        return {Result::Ping, {}};

    // The database would keep a field only up to its NUL, storing another
    // value than the one sent.
    if (line.contains('\0'))
        return error(QStringLiteral("NUL byte in a field"));
    const QList<QByteArray> parts = line.split('|');
    if (parts.size() != 7 || !parts.last().isEmpty())
        return error(QStringLiteral("expected six fields each ended by |"));
    const QByteArray verb = parts.at(0);
    if (verb != "set" && verb != "unset")
        return error(QStringLiteral("unknown verb"));
    const QString attribute = QString::fromLatin1(parts.at(1));
    const QString value = QString::fromLatin1(parts.at(2));
    const QString target = QString::fromLatin1(parts.at(3));
    const QString receiverType = QString::fromLatin1(parts.at(4));
    const QString receiverId = QString::fromLatin1(parts.at(5));
    if (attribute.isEmpty() || target.isEmpty() || receiverType.isEmpty() || receiverId.isEmpty())
        return error(QStringLiteral("attribute, target system, receiver type and receiver id are required"));
    if (attribute.size() > AttributeWidth || value.size() > ValueWidth
        || target.size() > TargetWidth || receiverType.size() > ReceiverTypeWidth
        || receiverId.size() > ReceiverIdWidth)
        return error(QStringLiteral("field too long"));

    if (!m_db.transaction())
        return error(QStringLiteral("cannot start transaction: ") + m_db.lastError().text());

    QSqlQuery remove(m_db);
    remove.prepare(QStringLiteral("DELETE FROM riskman_file WHERE attribute = ? AND targetsystem = ? "
                                  "AND receivertype = ? AND receiverid = ?"));
    remove.addBindValue(attribute);
    remove.addBindValue(target);
    remove.addBindValue(receiverType);
    remove.addBindValue(receiverId);
    bool ok = remove.exec();
    QString failure = ok ? QString() : remove.lastError().text();

    if (ok && verb == "set") {
        QSqlQuery insert(m_db);
        insert.prepare(QStringLiteral("INSERT INTO riskman_file "
                                      "(targetsystem, receivertype, receiverid, attribute, value) "
                                      "VALUES (?, ?, ?, ?, ?)"));
        insert.addBindValue(target);
        insert.addBindValue(receiverType);
        insert.addBindValue(receiverId);
        insert.addBindValue(attribute);
        insert.addBindValue(value);
        ok = insert.exec();
        if (!ok)
            failure = insert.lastError().text();
    }
    if (ok && !m_db.commit()) {
        ok = false;
        failure = m_db.lastError().text();
    }
    if (!ok) {
        m_db.rollback();
        return error(QStringLiteral("database: ") + failure.simplified().replace(QLatin1Char('|'), QLatin1Char('/')));
    }
    return {Result::Applied, {}};
}
