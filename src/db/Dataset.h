#pragma once

#include "db/Field.h"

#include <QObject>
#include <QSet>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>

class DbConnection;

// A record-cursor dataset: rows read from the database into a cache in
// blocks as they are needed, a current record, and the browse / edit /
// insert states with their events. TableView, Query and the cached-update
// query derive from it.
class Dataset : public QObject
{
    Q_OBJECT
public:
    enum State { Inactive, Browse, Edit, Insert };
    enum LocateOption { NoOptions = 0, CaseInsensitive = 1, PartialKey = 2 };
    Q_DECLARE_FLAGS(LocateOptions, LocateOption)

    using Handler = std::function<void(Dataset &)>;
    using Filter = std::function<bool(Dataset &)>;

    // A position to come back to: the key values where the dataset has a
    // key, else the row's place.
    struct Bookmark {
        QVariantList key;
        int row = -1;
        bool isValid() const { return row >= 0 || !key.isEmpty(); }
    };

    Dataset(const QString &name, DbConnection *connection, QObject *parent = nullptr);
    ~Dataset() override;

    DbConnection *connection() const { return m_conn; }

    // Definition -----------------------------------------------------------
    // Declared (persistent) fields. Without any, the fields are the columns
    // the statement returns.
    void setFieldDefs(const FieldDefs &defs) { m_declared = defs; }
    const FieldDefs &fieldDefs() const { return m_declared; }
    void addCalculatedField(const QString &name, FieldType type);
    // The table whose column types describe undeclared result columns.
    void setCatalogTable(const QString &table) { m_catalogTable = table; }
    QString catalogTable() const { return m_catalogTable; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool isReadOnly() const { return m_readOnly; }
    // Rows read from the database at a time.
    void setBlockSize(int rows) { m_blockSize = rows > 0 ? rows : 256; }

    // Open / close ------------------------------------------------------------
    void open();
    void close();
    bool isActive() const { return m_state != Inactive; }
    State state() const { return m_state; }
    // Re-reads the rows and comes back to the current record.
    void refresh();

    // Navigation -------------------------------------------------------------
    void first();
    void next();
    void prior();
    void last();
    // Moves by n records (negative: backwards); returns how many it moved.
    int moveBy(int n);
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    // Whether there are records before the current one (read or not).
    bool canMoveBack() const { return m_cur > 0 || !m_headExhausted; }
    bool isEmpty();
    // Number of records that pass the filter; reads every row.
    int recordCount();
    // Place of the current record among the filtered rows, from 0; -1 when
    // there is none.
    int currentIndex() const { return m_cur; }
    // Makes the index-th filtered row current (reads rows as needed).
    bool setCurrentIndex(int index);

    // Fields -------------------------------------------------------------------
    const QVector<Field *> &fields() const { return m_fields; }
    Field *findField(const QString &name) const;
    // Raises when there is no such field.
    Field *fieldByName(const QString &name) const;
    Field *operator[](const QString &name) const { return fieldByName(name); }

    // Locate / bookmarks / filter ------------------------------------------
    bool locate(const QStringList &fieldNames, const QVariantList &values,
                LocateOptions options = NoOptions);
    bool locate(const QString &fieldName, const QVariant &value, LocateOptions options = NoOptions)
    {
        return locate(QStringList{fieldName}, QVariantList{value}, options);
    }
    Bookmark bookmark() const;
    void gotoBookmark(const Bookmark &bookmark);
    // The filter is a predicate evaluated with the candidate row as the
    // record the fields read; typed text is compared as data, never parsed.
    void setFilter(Filter filter);
    void setFiltered(bool on);
    bool isFiltered() const { return m_filtered; }
    // A filter keeping rows whose field text equals text exactly.
    static Filter fieldEquals(const QString &fieldName, const QString &text);

    // Editing ------------------------------------------------------------------
    void edit();
    void insert();
    void post();
    void cancel();
    void remove();
    // Whether the record being edited differs from the stored one.
    bool isModified() const { return m_modified; }

    // Events, in the order they fire for a typical edit.
    Handler afterOpen;
    Handler onCalcFields;
    Handler afterScroll;
    Handler onNewRecord;
    Handler afterInsert;
    Handler beforePost;
    Handler afterPost;
    Handler afterCancel;
    Handler beforeDelete;
    Handler afterDelete;
    Handler afterClose;

    // Grid access, without moving the current record -----------------------
    int loadedCount() const { return m_visible.size(); }
    bool allLoaded() const { return m_exhausted; }
    // Reads the next block of rows; returns how many passed the filter.
    int fetchMore();
    QVariant valueAt(int visibleRow, int fieldIndex) const;

signals:
    void opened();
    void closed();
    // The rows were read again, filtered anew, or reset.
    void rowsReset();
    // More rows were read; first and last are filtered-row places.
    void rowsLoaded(int first, int last);
    void currentChanged();
    void recordChanged();
    void stateChanged();
    // A post was refused for a required field: the bound control takes focus.
    void focusFieldRequested(const QString &fieldName);

protected:
    // The SELECT statement (before dialect adaptation) and its parameters.
    virtual QString selectSql() const = 0;
    virtual QVariantMap parameterValues() const { return {}; }
    // Writes the record; raises on failure. The default refuses.
    virtual void writeUpdate(const QVector<QVariant> &original, const QVector<QVariant> &changed);
    virtual void writeInsert(const QVector<QVariant> &values);
    virtual void writeDelete(const QVector<QVariant> &original);
    // The key columns a bookmark records (empty: the row's place).
    virtual QStringList keyFields() const { return {}; }
    // Key-ordered reading. A dataset whose rows come in the order of a
    // unique key can start reading at a key and read backwards from one, so
    // a search on the key or a move to the end does not read every row
    // before it.
    virtual bool keyOrdered() const { return false; }
    // The SELECT of the rows at and after the key values given as
    // parameters "W_<column>" in key order, or, backwards, of the rows
    // before them (or before the end, fromKey false) in reverse key order.
    virtual QString windowSql(bool backwards, bool fromKey) const
    {
        Q_UNUSED(backwards);
        Q_UNUSED(fromKey);
        return {};
    }
    // The number of rows the statement returns, asked of the database;
    // -1 when it cannot be asked.
    virtual int countRows() { return -1; }

    // Asked before rows not yet read are searched: false when the database
    // can tell that no row has these values, so the search is spared.
    virtual bool mayHold(const QStringList &fieldNames, const QVariantList &values,
                         LocateOptions options)
    {
        Q_UNUSED(fieldNames);
        Q_UNUSED(values);
        Q_UNUSED(options);
        return true;
    }

    // Runs sql with named parameters taken from params (names matched
    // without regard to case). Raises on failure.
    void execWrite(const QString &sql, const QVariantMap &params);
    // The same for a statement that must change exactly one row (the
    // record written); raises when it changes none (or several).
    void execSingleRowWrite(const QString &sql, const QVariantMap &params);
    QVariant bindValue(const FieldDef &def, const QVariant &value) const;
    QString dialectSql(const QString &sql) const;

    void checkActive() const;
    void checkWritable() const;

    friend class Field;
    QVariant readValue(int index) const;
    void writeValue(int index, const QVariant &value);

private:
    struct Row {
        QVector<QVariant> values;
    };

    void buildFields(const QSqlRecord &record);
    Row convertRow(const QSqlQuery &query);
    void calcRow(Row &row);
    bool passes(Row &row);
    int loadBlock();
    void loadUntil(int visibleIndex);
    void loadAll();
    void rebuildVisible();
    void setState(State s);
    void startInsert(int rowIndex, int visibleIndex);
    bool windowed() const { return keyOrdered() && !m_filtered; }
    QVariantList keyOf(const Row &row) const;
    static QString keyText(const QVariantList &key);
    QVariantMap windowParams(const QVariantList &key) const;
    bool isKeySearch(const QStringList &fieldNames, const QVariantList &values, LocateOptions options,
                     QVariantList &key) const;
    // Starts reading at key: the rows before it are read only when needed.
    void openWindowAt(const QVariantList &key);
    // Reads the rows of the last block, the rows before them left unread.
    void openWindowAtEnd();
    // Reads a block of the rows before the first one read; returns how
    // many were added (all of them visible: windows are unfiltered).
    int loadBefore();
    // Reads from the first row again when rows before the window are unread.
    void restartFromTop();
    void moveTo(int index, bool fireScroll);
    void fireScroll();
    void fire(const Handler &h);
    void checkRequired();
    // After a write refused for another console's change: leaves editing
    // and reads the rows again.
    void readAgainAfterConflict();
    void recalcBuffer();
    void resetCursor();
    void executeSelect();
    int compareForLocate(const QVariant &a, const QVariant &b, LocateOptions options) const;

    QString m_name;
    DbConnection *m_conn;
    FieldDefs m_declared;
    FieldDefs m_calculated;
    QString m_catalogTable;
    bool m_readOnly = false;
    int m_blockSize = 256;

    State m_state = Inactive;
    QVector<Field *> m_fields;
    QVector<int> m_resultToField; // result column -> field index (-1: none)
    std::unique_ptr<QSqlQuery> m_cursor;
    int m_cursorGeneration = 0;   // connection the cursor reads through
    bool m_exhausted = true;      // no rows after the last one read
    bool m_headExhausted = true;  // no rows before the first one read
    QVariantList m_headKey;       // key of the first row read from the database
    QSet<QString> m_postedKeys;   // rows posted while rows were still unread
    QVector<Row> m_rows;      // every row read so far
    QVector<int> m_visible;   // places in m_rows of the rows passing the filter
    int m_cur = -1;           // place in m_visible
    bool m_eof = true;
    bool m_bof = true;

    Filter m_filter;
    bool m_filtered = false;

    Row m_buffer;             // record being edited or inserted
    Row m_original;           // the stored record, while editing
    int m_insertAt = -1;      // place in m_rows a new record takes
    int m_curBeforeInsert = -1;
    bool m_modified = false;
    const Row *m_calcRow = nullptr; // row being calculated or filtered
    Row *m_calcWritable = nullptr;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(Dataset::LocateOptions)
