#pragma once

#include "core/db/db_context.h"
#include "core/db/db_error.h"
#include "core/db/sql_dialect.h"

#include <QSqlDatabase>
#include <QSqlError>

#include <memory>

// One database connection for the length of one routine: opened on construction, closed and released on
// every path out.
class DbConnection
{
public:
    static constexpr int kDefaultTimeoutSeconds = 60;

    explicit DbConnection(const DbContext& ctx, SqlDialect::Target target = SqlDialect::Target::Catalog,
                          int timeoutSeconds = kDefaultTimeoutSeconds);
    ~DbConnection();
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    bool isOpen() const { return !m_error.isError(); }
    const DbError& error() const { return m_error; }
    QSqlDatabase& db() { return m_db; }
    const SqlDialect& dialect() const { return *m_dialect; }

    // Runs fn inside a transaction: committed when fn returns no error, rolled back otherwise.
    template <typename Fn> DbError inTransaction(Fn&& fn)
    {
        if (!m_db.transaction())
            return DbError::fromSql(m_db.lastError());
        DbError e = fn();
        if (e.isError()) {
            m_db.rollback();
            return e;
        }
        if (!m_db.commit()) {
            DbError c = DbError::fromSql(m_db.lastError());
            m_db.rollback();
            return c;
        }
        return {};
    }

private:
    std::unique_ptr<SqlDialect> m_dialect;
    QString m_name;
    QSqlDatabase m_db;
    DbError m_error;
};
