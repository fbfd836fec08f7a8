#pragma once

#include "db/Dataset.h"
#include "db/RowWrite.h"

// A dataset on one table: its declared columns (all of them when none are
// declared), an ordering, and posts written by the table's key while the
// row still holds the values read (see RowWrite).
class TableView : public Dataset
{
    Q_OBJECT
public:
    TableView(const QString &name, DbConnection *connection, QObject *parent = nullptr);

    // The table as the console writes it ("dbo.User_File").
    void setTableName(const QString &table);
    QString tableName() const { return m_table; }
    // Columns to order by ("User_Group"); empty: the table's key (the
    // database's order for a table without one).
    void setOrderBy(const QString &columns) { m_orderBy = columns; }
    // The columns a row is written by; defaults to the table's key.
    void setKey(const QStringList &columns) { m_key = columns; }

protected:
    QString selectSql() const override;
    // The key, when the dataset holds every column of it.
    QStringList keyFields() const override;
    bool keyOrdered() const override;
    QString windowSql(bool backwards, bool fromKey) const override;
    int countRows() override;
    // A search on the key asks the database whether the row exists first.
    bool mayHold(const QStringList &fieldNames, const QVariantList &values, LocateOptions options) override;
    void writeUpdate(const QVector<QVariant> &original, const QVector<QVariant> &changed) override;
    void writeInsert(const QVector<QVariant> &values) override;
    void writeDelete(const QVector<QVariant> &original) override;

private:
    // The declared columns with the values read and the values to write.
    QVector<RowColumn> rowColumns(const QVector<QVariant> &original, const QVector<QVariant> &values) const;
    void checkKey() const;
    QString columnList() const;
    QString orderBy() const;

    QString m_table;
    QString m_orderBy;
    QStringList m_key;
};

// A dataset on a SELECT statement with named parameters. With cached
// updates and update statements set, posts are kept in memory and written
// by applyUpdates() through the statements.
class Query : public Dataset
{
    Q_OBJECT
public:
    Query(const QString &name, DbConnection *connection, QObject *parent = nullptr);

    void setSql(const QString &sql) { m_sql = sql; }
    QString sql() const { return m_sql; }
    void setParam(const QString &name, const QVariant &value);
    QVariant param(const QString &name) const;

    struct UpdateSql {
        QString modifySql;
        QString insertSql;
        QString deleteSql;
    };
    void setCachedUpdates(bool on) { m_cached = on; }
    bool cachedUpdates() const { return m_cached; }
    void setUpdateObject(const UpdateSql &updateSql) { m_update = updateSql; }
    const UpdateSql &updateObject() const { return m_update; }
    // Pending changes not yet applied.
    int pendingCount() const { return m_pending.size(); }
    // Writes the pending changes in the order they were made; raises at the
    // first the database refuses, which stays pending with those after it.
    void applyUpdates();
    // Forgets the changes that were applied.
    void commitUpdates();
    // Forgets every pending change and reads the rows again.
    void cancelUpdates();

protected:
    QString selectSql() const override { return m_sql; }
    QVariantMap parameterValues() const override { return m_params; }
    QStringList keyFields() const override;
    void writeUpdate(const QVector<QVariant> &original, const QVector<QVariant> &changed) override;
    void writeInsert(const QVector<QVariant> &values) override;
    void writeDelete(const QVector<QVariant> &original) override;

private:
    enum class Kind { Modify, Insert, Delete };
    struct Pending {
        Kind kind;
        QVector<QVariant> original;
        QVector<QVariant> values;
        bool applied = false;
    };
    QVariantMap paramsFor(const Pending &p) const;

    QString m_sql;
    QVariantMap m_params;
    bool m_cached = false;
    UpdateSql m_update;
    QVector<Pending> m_pending;
};

// A statement that returns no rows.
class SqlStatement : public QObject
{
    Q_OBJECT
public:
    SqlStatement(const QString &name, DbConnection *connection, const QString &sql,
                 QObject *parent = nullptr);

    void setSql(const QString &sql) { m_sql = sql; }
    QString sql() const { return m_sql; }
    void setParam(const QString &name, const QVariant &value);
    void prepare() { m_prepared = true; }
    bool isPrepared() const { return m_prepared; }
    // Runs the statement; returns the rows affected. Raises on failure.
    int execSql();

private:
    DbConnection *m_conn;
    QString m_sql;
    QVariantMap m_params;
    bool m_prepared = false;
};
