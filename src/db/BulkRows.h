#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QVariantMap>
#include <QVector>
#include <memory>

class DbConnection;

// Reads the rows of a large result straight from the driver, many rows a
// call, each value into a buffer of its own: for exports of hundreds of
// thousands of rows, where reading value by value costs more than the
// database itself. Text comes as the driver's bytes, numbers and date-times
// as such.
class BulkRows
{
public:
    enum class Kind { Text, Integer, DateTime };
    struct Column {
        Kind kind = Kind::Text;
        // Text: the longest value expected, in bytes; a longer one raises.
        int width = 255;
    };

    // Adapts sql to the engine, binds its named parameters from params
    // (names matched without regard to case; all text) and runs it.
    // Raises with the database's message.
    BulkRows(DbConnection &connection, const QString &sql, const QVariantMap &params, const QVector<Column> &columns);
    ~BulkRows();
    BulkRows(const BulkRows &) = delete;
    BulkRows &operator=(const BulkRows &) = delete;

    // Moves to the next row; false after the last. A failed read raises
    // the database's message.
    bool next();

    bool isNull(int column) const;
    // A text column's bytes, without the terminating zero.
    QByteArrayView bytes(int column) const;
    // A text column as text (the bytes read as UTF-8).
    QString text(int column) const;
    // An integer column; 0 when null.
    int integer(int column) const;
    // A date-time column; invalid when null.
    QDateTime dateTime(int column) const;

    // Rows asked of the driver at a time.
    static constexpr int RowsPerFetch = 256;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
