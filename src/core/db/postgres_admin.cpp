#include "core/db/postgres_admin.h"

#include "core/db/db_context.h"
#include "core/db/db_session.h"

#include <QSqlQuery>

namespace {
const QString kDuplicateDatabase = QStringLiteral("42P04");

// Runs a CREATE DATABASE; a name in use is told apart from other failures.
Error createAs(DbSession& session, const QString& statement)
{
    Error e = session.run(statement);
    if (e.code == kDuplicateDatabase)
        e.kind = Error::Kind::AlreadyExists;
    return e;
}
} // namespace

QString PostgresAdmin::databaseIdentity(const DbContext& ctx) const
{
    return QStringLiteral("pg:%1:%2/%3")
        .arg(ctx.connection.host().toLower())
        .arg(ctx.connection.port())
        .arg(ctx.connection.database.trimmed());
}

Result<QString> PostgresAdmin::databaseIdentity(DbSession& session) const
{
    // The cluster's own identifier, made once by initdb, and the database's object id within it.
    Result<QSqlQuery> q = session.query(
        QStringLiteral("SELECT (SELECT system_identifier FROM pg_control_system())::text || '/' || oid::text "
                       "FROM pg_database WHERE datname = current_database()"));
    if (!q) {
        // Where the administrator took the function away: the running server told apart by when it started
        // and the port it listens on.
        q = session.query(QStringLiteral("SELECT pg_postmaster_start_time()::text || ':' || current_setting('port') "
                                         "|| '/' || oid::text FROM pg_database WHERE datname = current_database()"));
    }
    if (!q)
        return q.error();
    if (!q->next())
        return Error::other(QStringLiteral("The server does not list the database \"%1\".")
                                .arg(session.context().connection.database.trimmed()));
    return QStringLiteral("pg:") + q->value(0).toString();
}

Result<bool> PostgresAdmin::isHeldElsewhere(DbSession& session) const
{
    // A connection that was just closed is listed until its server process has ended, which takes moments; the
    // server waits between the looks.
    constexpr int kLooks = 10;
    for (int look = 0;; ++look) {
        Result<QSqlQuery> q = session.query(QStringLiteral(
            "SELECT EXISTS (SELECT 1 FROM pg_stat_activity WHERE datname = current_database() AND pid <> "
            "pg_backend_pid())"));
        if (!q)
            return q.error();
        if (!q->next() || !q->value(0).toBool())
            return false;
        if (look + 1 == kLooks)
            return true;
        Result<QSqlQuery> wait = session.query(QStringLiteral("SELECT pg_sleep(0.1)"));
        if (!wait)
            return wait.error();
    }
}

Result<QStringList> PostgresAdmin::ownDatabases(const DbContext& ctx) const
{
    DbSession session(ctx, SqlDialect::Target::Maintenance);
    // Only its owner (or a member of the owning role) may drop a database.
    return session.column<QString>(QStringLiteral("SELECT datname FROM pg_database WHERE NOT datistemplate AND "
                                                  "pg_has_role(current_user, datdba, 'USAGE') ORDER BY datname"));
}

Result<bool> PostgresAdmin::databaseExists(const DbContext& ctx) const
{
    DbSession session(ctx, SqlDialect::Target::Maintenance);
    Result<QSqlQuery> q = session.query(QStringLiteral("SELECT 1 FROM pg_database WHERE datname = ?"),
                                        {ctx.connection.database.trimmed()});
    if (!q)
        return q.error();
    return q->next();
}

Error PostgresAdmin::createDatabase(const DbContext& ctx) const
{
    DbSession session(ctx, SqlDialect::Target::Maintenance);
    // The name cannot be a bound value here; it was checked to be a plain name and is quoted so its case stays.
    return createAs(session,
                    QStringLiteral("CREATE DATABASE ") + m_dialect.quoteIdentifier(ctx.connection.database.trimmed()));
}

Error PostgresAdmin::dropDatabase(const DbContext& ctx) const
{
    DbSession session(ctx, SqlDialect::Target::Maintenance);
    return session.run(QStringLiteral("DROP DATABASE IF EXISTS ") +
                       m_dialect.quoteIdentifier(ctx.connection.database.trimmed()));
}

Error PostgresAdmin::copyDatabase(const DbContext& from, const DbContext& into) const
{
    DbSession session(into, SqlDialect::Target::Maintenance);
    return createAs(session, QStringLiteral("CREATE DATABASE %1 TEMPLATE %2")
                                 .arg(m_dialect.quoteIdentifier(into.connection.database.trimmed()),
                                      m_dialect.quoteIdentifier(from.connection.database.trimmed())));
}

QString PostgresAdmin::databaseLocation(const DbContext& ctx) const
{
    return ctx.connection.database;
}
