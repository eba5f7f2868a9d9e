#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <memory>

class Database;
struct sqlite3;
struct sqlite3_stmt;

// The connection's own SQLite handle (null on PostgreSQL): its prepared statements insert and read a
// row for a fraction of what Qt SQL costs.
sqlite3 *sqliteHandleOf(Database &db);

// A forward-only query read column by column: on SQLite through its own statement API, which spares
// an export of millions of rows a QVariant per value; on PostgreSQL through Qt SQL.
class SqlCursor {
public:
    explicit SqlCursor(Database &db);
    ~SqlCursor();
    SqlCursor(const SqlCursor &) = delete;
    SqlCursor &operator=(const SqlCursor &) = delete;

    // Runs a statement with ? placeholders bound to `binds` (whole numbers or text); false with `error`.
    bool exec(const QString &sql, const QVariantList &binds, QString &error);
    // The next row; false at the end or on a failure, which finish() then reports.
    bool next();
    // True when the rows ended without a failure; false with `error` otherwise.
    bool finish(QString &error);

    qint64 integer(int column) const;
    bool isNull(int column) const;
    // Valid until the next call of next().
    QByteArrayView text(int column) const;

private:
    Database &db_;
    sqlite3_stmt *statement_ = nullptr;
    int stepResult_ = 0;
    std::unique_ptr<QSqlQuery> query_;
    QList<QByteArray> row_;
    QList<bool> nulls_;
};
