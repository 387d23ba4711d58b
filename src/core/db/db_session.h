#pragma once

#include "core/db/db_context.h"
#include "core/db/sql_dialect.h"
#include "core/util/error.h"
#include "core/util/result.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariantList>

#include <functional>
#include <memory>

// One open connection for the life of a screen, a command or a test. Stores take the session; a
// TransactionGuard makes several stores' writes one transaction.
class DbSession
{
public:
    // How long opening may take before the server counts as unreachable.
    static constexpr int kConnectTimeoutSeconds = 60;

    explicit DbSession(const DbContext& ctx, SqlDialect::Target target = SqlDialect::Target::Catalog,
                       int timeoutSeconds = kConnectTimeoutSeconds);
    ~DbSession();
    DbSession(const DbSession&) = delete;
    DbSession& operator=(const DbSession&) = delete;

    bool isOpen() const { return !m_error.isError(); }
    // Why the session could not be opened.
    const Error& error() const { return m_error; }
    const DbContext& context() const { return m_ctx; }
    QSqlDatabase& db() { return m_db; }
    const SqlDialect& dialect() const { return *m_dialect; }

    // Runs one statement with its values bound in order; the query is positioned before its first row.
    // Outside a transaction, a read on a connection the server dropped is tried once more on a new one.
    Result<QSqlQuery> query(const QString& sql, const QVariantList& values = {});
    // Runs one statement for its effect; rows affected, or why not.
    Result<int> execute(const QString& sql, const QVariantList& values = {});
    // Runs one statement for its effect when the count does not matter.
    Error run(const QString& sql, const QVariantList& values = {});
    // The first column of every row, converted to T, in the order the rows come.
    template <typename T> Result<QList<T>> column(const QString& sql, const QVariantList& values = {});
    // Hands each row to fn in turn; fn returns false to stop early. Why the statement failed, or nothing.
    Error forEachRow(const QString& sql, const QVariantList& values, const std::function<bool(const QSqlQuery&)>& fn);

    // Runs one statement for each successive group of `perRun` values, prepared once: the way to write many
    // rows. Rows affected in all, or why not.
    Result<int> executeEach(const QString& sql, const QVariantList& values, int perRun);

    bool inTransaction() const { return m_depth > 0; }
    // Inside a write transaction: keeps other writers out of the table until the transaction ends, so that a
    // check and the write it guards see the same rows. Nothing to do where the transaction holds the database.
    Error lockForWrite(const QString& table);

    // Test seam: the next statement whose text contains the marker fails as the engine would.
    void failNextStatementContaining(const QString& marker) { m_failMarker = marker; }

private:
    friend class TransactionGuard;
    friend class ReadSnapshot;
    friend class Savepoint;
    Error begin(const QString& statement = QString());
    Error finish(bool commit);
    bool reopen();
    bool prepareAndRun(QSqlQuery& q, const QString& sql, const QVariantList& values);

    DbContext m_ctx;
    SqlDialect::Target m_target;
    int m_timeoutSeconds;
    std::unique_ptr<SqlDialect> m_dialect;
    QString m_name;
    QSqlDatabase m_db;
    Error m_error;
    int m_depth = 0;
    bool m_rollbackOnly = false;
    QString m_failMarker;
};

template <typename T> Result<QList<T>> DbSession::column(const QString& sql, const QVariantList& values)
{
    QList<T> list;
    if (Error e = forEachRow(sql, values, [&list](const QSqlQuery& q) {
            list.append(q.value(0).value<T>());
            return true;
        }))
        return e;
    return list;
}

// A write transaction for as long as it lives: committed by commit(), rolled back on every other path.
// A guard made while another is open joins that transaction; only the outermost one commits, and an inner one
// left without commit makes the whole transaction fail.
class TransactionGuard
{
public:
    explicit TransactionGuard(DbSession& session);
    ~TransactionGuard();
    TransactionGuard(const TransactionGuard&) = delete;
    TransactionGuard& operator=(const TransactionGuard&) = delete;

    // Why the transaction could not be started; nothing may be written then.
    const Error& error() const { return m_error; }
    bool isActive() const { return !m_done && !m_error.isError(); }
    Error commit();

private:
    DbSession& m_session;
    Error m_error;
    bool m_done = false;
};

// A transaction that reads one unchanging state of the whole database for as long as it lives, while others go on
// writing: every table read through the session meanwhile belongs to the same moment. Nothing is written through it.
class ReadSnapshot
{
public:
    explicit ReadSnapshot(DbSession& session);
    ~ReadSnapshot();
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;

    const Error& error() const { return m_error; }

private:
    DbSession& m_session;
    Error m_error;
};

// Inside an open write transaction, a part of it that can be undone alone: release() keeps the part's writes in
// the transaction; on every other path (and when a guard inside it failed) they are undone and the transaction
// goes on as it was before the part began. The same statements on both engines.
class Savepoint
{
public:
    explicit Savepoint(DbSession& session);
    ~Savepoint();
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;

    // Why the part could not begin (no transaction is open, or the engine refused); nothing may be written then.
    const Error& error() const { return m_error; }
    Error release();

private:
    void undo();

    DbSession& m_session;
    Error m_error;
    bool m_rollbackOnlyBefore = false;
    bool m_done = false;
};

// Runs fn (returning Error) in one write transaction on the session: committed when it returns no error.
template <typename Fn> Error inTransaction(DbSession& session, Fn&& fn)
{
    TransactionGuard guard(session);
    if (guard.error())
        return guard.error();
    if (Error e = fn())
        return e;
    return guard.commit();
}
