#include "core/db/db_session.h"

#include <QAtomicInt>
#include <QElapsedTimer>
#include <QSqlError>

namespace {
QString nextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("lexorium-%1").arg(counter.fetchAndAddRelaxed(1));
}
} // namespace

DbSession::DbSession(const DbContext& ctx, SqlDialect::Target target, int timeoutSeconds)
    : m_ctx(ctx)
    , m_target(target)
    , m_timeoutSeconds(timeoutSeconds)
    , m_dialect(SqlDialect::forConnection(ctx.connection))
    , m_name(nextConnectionName())
{
    m_error = m_dialect->precheck(ctx, target, timeoutSeconds);
    if (m_error)
        return;
    m_db = QSqlDatabase::addDatabase(m_dialect->driverName(), m_name);
    if (!m_db.isValid()) {
        m_error = Error::other(QStringLiteral("The database driver %1 is not available.").arg(m_dialect->driverName()));
        return;
    }
    m_dialect->configure(m_db, ctx, target, timeoutSeconds);
    QElapsedTimer clock;
    clock.start();
    if (!m_db.open()) {
        // The time-out holds for both tries together; a server that timed out once times out again quickly.
        const int left = qMax(2, timeoutSeconds - int(clock.elapsed() / 1000));
        m_error = m_dialect->classifyOpenFailure(ctx, Error::fromSql(m_db.lastError()), left);
        return;
    }
    m_error = m_dialect->prepare(m_db);
    if (!m_error && target == SqlDialect::Target::ReadOnlyCatalog) {
        const QString readOnly = m_dialect->readOnlyStatement();
        QSqlQuery q(m_db);
        if (!readOnly.isEmpty() && !q.exec(readOnly))
            m_error = Error::fromSql(q.lastError());
    }
}

DbSession::~DbSession()
{
    if (m_depth > 0 && isOpen()) {
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("ROLLBACK"));
    }
    if (QSqlDatabase::contains(m_name)) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
}

bool DbSession::prepareAndRun(QSqlQuery& q, const QString& sql, const QVariantList& values)
{
    q.setForwardOnly(true);
    if (!m_failMarker.isEmpty() && sql.contains(m_failMarker)) {
        m_failMarker.clear();
        return false;
    }
    if (values.isEmpty())
        return q.exec(sql); // DDL and PRAGMA cannot be prepared on every engine
    if (!q.prepare(sql))
        return false;
    for (const QVariant& v : values)
        q.addBindValue(v);
    return q.exec();
}

bool DbSession::reopen()
{
    // Only a connection the server dropped is worth a second try, and only outside a transaction, where
    // nothing of ours can be lost with it.
    if (m_depth > 0 || m_target != SqlDialect::Target::Catalog)
        return false;
    {
        QSqlQuery probe(m_db);
        if (probe.exec(QStringLiteral("SELECT 1")))
            return false;
    }
    m_db.close();
    if (!m_db.open())
        return false;
    return !m_dialect->prepare(m_db).isError();
}

Result<QSqlQuery> DbSession::query(const QString& sql, const QVariantList& values)
{
    if (!isOpen())
        return m_error;
    const bool injected = !m_failMarker.isEmpty() && sql.contains(m_failMarker);
    QSqlQuery q(m_db);
    if (prepareAndRun(q, sql, values))
        return q;
    if (injected)
        return Error::other(QStringLiteral("Injected failure: %1").arg(sql.left(60)));
    Error error = Error::fromSql(q.lastError());
    if (reopen()) {
        QSqlQuery again(m_db);
        if (prepareAndRun(again, sql, values))
            return again;
        error = Error::fromSql(again.lastError());
    }
    if (m_depth > 0)
        m_rollbackOnly = true;
    return error;
}

Result<int> DbSession::execute(const QString& sql, const QVariantList& values)
{
    Result<QSqlQuery> q = query(sql, values);
    if (!q)
        return q.error();
    return q->numRowsAffected();
}

Error DbSession::run(const QString& sql, const QVariantList& values)
{
    Result<int> r = execute(sql, values);
    return r ? Error() : r.error();
}

Error DbSession::forEachRow(const QString& sql, const QVariantList& values,
                            const std::function<bool(const QSqlQuery&)>& fn)
{
    Result<QSqlQuery> q = query(sql, values);
    if (!q)
        return q.error();
    while (q->next())
        if (!fn(*q))
            break;
    return {};
}

Result<int> DbSession::executeEach(const QString& sql, const QVariantList& values, int perRun)
{
    if (!isOpen())
        return m_error;
    if (perRun <= 0 || values.size() % perRun != 0)
        return Error::other(QStringLiteral("%1 values do not make whole runs of %2.").arg(values.size()).arg(perRun));
    auto failed = [this](const Error& e) -> Result<int> {
        if (m_depth > 0)
            m_rollbackOnly = true;
        return e;
    };
    if (!m_failMarker.isEmpty() && sql.contains(m_failMarker)) {
        m_failMarker.clear();
        return failed(Error::other(QStringLiteral("Injected failure: %1").arg(sql.left(60))));
    }
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        return failed(Error::fromSql(q.lastError()));
    int affected = 0;
    for (qsizetype first = 0; first < values.size(); first += perRun) {
        for (int i = 0; i < perRun; ++i)
            q.bindValue(i, values.at(first + i));
        if (!q.exec())
            return failed(Error::fromSql(q.lastError()));
        affected += q.numRowsAffected();
    }
    return affected;
}

Error DbSession::lockForWrite(const QString& table)
{
    if (m_depth == 0)
        return Error::other(QStringLiteral("A table can be locked only inside a transaction."));
    const QString statement = m_dialect->lockTableStatement(table);
    if (statement.isEmpty())
        return {};
    return run(statement);
}

Error DbSession::begin(const QString& statement)
{
    if (!isOpen())
        return m_error;
    if (m_depth > 0) {
        if (!statement.isEmpty())
            return Error::other(QStringLiteral("A snapshot cannot be read inside another transaction."));
        ++m_depth;
        return {};
    }
    Result<int> r = execute(statement.isEmpty() ? m_dialect->beginWriteStatement() : statement);
    if (!r)
        return r.error();
    m_depth = 1;
    m_rollbackOnly = false;
    return {};
}

Error DbSession::finish(bool commit)
{
    if (m_depth == 0)
        return {};
    if (--m_depth > 0) {
        if (!commit)
            m_rollbackOnly = true;
        return {};
    }
    const bool keep = commit && !m_rollbackOnly;
    m_rollbackOnly = false;
    QSqlQuery q(m_db);
    if (keep) {
        if (q.exec(QStringLiteral("COMMIT")))
            return {};
        const Error e = Error::fromSql(q.lastError());
        QSqlQuery rollback(m_db);
        rollback.exec(QStringLiteral("ROLLBACK"));
        return e;
    }
    q.exec(QStringLiteral("ROLLBACK"));
    if (commit)
        return Error::other(QStringLiteral("The transaction was rolled back after a failed step."));
    return {};
}

TransactionGuard::TransactionGuard(DbSession& session)
    : m_session(session)
    , m_error(session.begin())
{}

TransactionGuard::~TransactionGuard()
{
    if (!m_done && !m_error)
        m_session.finish(false);
}

Error TransactionGuard::commit()
{
    if (m_error)
        return m_error;
    if (m_done)
        return Error::other(QStringLiteral("The transaction has ended already."));
    m_done = true;
    return m_session.finish(true);
}

ReadSnapshot::ReadSnapshot(DbSession& session)
    : m_session(session)
    , m_error(session.begin(session.dialect().beginSnapshotStatement()))
{}

namespace {
const QString kSavepointName = QStringLiteral("lexorium_part");
} // namespace

Savepoint::Savepoint(DbSession& session)
    : m_session(session)
{
    if (!session.inTransaction()) {
        m_error = Error::other(QStringLiteral("A part of a transaction was begun outside any transaction."));
        return;
    }
    m_rollbackOnlyBefore = session.m_rollbackOnly;
    m_error = session.run(QStringLiteral("SAVEPOINT ") + kSavepointName);
    // Nothing was written by it: the transaction is as good as it was (an engine that ended the transaction
    // says so at its commit).
    if (m_error)
        session.m_rollbackOnly = m_rollbackOnlyBefore;
}

Savepoint::~Savepoint()
{
    if (!m_done && !m_error)
        undo();
}

void Savepoint::undo()
{
    m_done = true;
    // Undoes the part and forgets it; the transaction, and a failure noted before the part, stay.
    QSqlQuery q(m_session.db());
    q.exec(QStringLiteral("ROLLBACK TO SAVEPOINT ") + kSavepointName);
    q.exec(QStringLiteral("RELEASE SAVEPOINT ") + kSavepointName);
    m_session.m_rollbackOnly = m_rollbackOnlyBefore;
}

Error Savepoint::release()
{
    if (m_error)
        return m_error;
    if (m_done)
        return Error::other(QStringLiteral("The part of the transaction has ended already."));
    if (m_session.m_rollbackOnly && !m_rollbackOnlyBefore) {
        undo();
        return Error::other(QStringLiteral("The part of the transaction was undone after a failed step."));
    }
    m_done = true;
    return m_session.run(QStringLiteral("RELEASE SAVEPOINT ") + kSavepointName);
}

ReadSnapshot::~ReadSnapshot()
{
    // Nothing was written: ending it either way only lets the writers go on.
    if (!m_error)
        m_session.finish(false);
}
