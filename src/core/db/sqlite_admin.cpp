#include "core/db/sqlite_admin.h"

#include "core/db/db_context.h"
#include "core/db/db_session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

QString SqliteAdmin::databaseIdentity(const DbContext& ctx) const
{
    const QFileInfo file(SqliteDialect::databaseFile(ctx));
    const QString canonical = file.canonicalFilePath();
    return QStringLiteral("file:") + (canonical.isEmpty() ? file.absoluteFilePath() : canonical);
}

Result<QString> SqliteAdmin::databaseIdentity(DbSession& session) const
{
    // The file the engine has open, with links, "." and ".." resolved.
    Result<QSqlQuery> q = session.query(QStringLiteral("SELECT file FROM pragma_database_list WHERE name = 'main'"));
    if (!q)
        return q.error();
    const QString canonical = q->next() ? QFileInfo(q->value(0).toString()).canonicalFilePath() : QString();
    if (canonical.isEmpty())
        return Error::other(QStringLiteral("The file of database \"%1\" cannot be found.")
                                .arg(session.context().connection.database.trimmed()));
    return QStringLiteral("file:") + canonical;
}

Result<bool> SqliteAdmin::isHeldElsewhere(DbSession& session) const
{
    // Whoever keeps the file locked (a running merge keeps its working files so) stops an exclusive lock at once.
    Result<int> noWait = session.execute(QStringLiteral("PRAGMA busy_timeout = 0"));
    if (!noWait)
        return noWait.error();
    Result<int> begun = session.execute(QStringLiteral("BEGIN EXCLUSIVE"));
    const Error failed = begun ? Error() : begun.error();
    if (begun)
        session.execute(QStringLiteral("ROLLBACK"));
    session.execute(QStringLiteral("PRAGMA busy_timeout = %1").arg(SqliteDialect::kBusyTimeoutMs));
    // SQLITE_BUSY and SQLITE_LOCKED
    if (failed.code == QLatin1String("5") || failed.code == QLatin1String("6"))
        return true;
    if (failed)
        return failed;
    return false;
}

Result<QStringList> SqliteAdmin::ownDatabases(const DbContext& ctx) const
{
    QStringList names;
    const QFileInfoList files = QDir(ctx.dataDir()).entryInfoList({QStringLiteral("*.db")}, QDir::Files, QDir::Name);
    for (const QFileInfo& file : files)
        names << file.completeBaseName();
    return names;
}

Result<bool> SqliteAdmin::databaseExists(const DbContext& ctx) const
{
    return QFileInfo::exists(SqliteDialect::databaseFile(ctx));
}

Error SqliteAdmin::createDatabase(const DbContext& ctx) const
{
    if (Error e = m_dialect.precheck(ctx, SqlDialect::Target::Maintenance, 0))
        return e;
    const QString path = SqliteDialect::databaseFile(ctx);
    QFile file(path);
    // NewOnly makes the existence test and the creation one step. The engine gives its journal the same mode.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, SqliteDialect::kOwnerOnly)) {
        if (QFileInfo::exists(path))
            return {Error::Kind::AlreadyExists, QString(), QStringLiteral("Database already exists.")};
        return Error::other(file.errorString());
    }
    file.close(); // an empty file is an empty database
    return {};
}

Error SqliteAdmin::dropDatabase(const DbContext& ctx) const
{
    const QString path = SqliteDialect::databaseFile(ctx);
    for (const QString& extra : {QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(path + extra);
    if (QFileInfo::exists(path) && !QFile::remove(path))
        return Error::other(QStringLiteral("Cannot remove %1.").arg(path));
    return {};
}

Error SqliteAdmin::copyDatabase(const DbContext& from, const DbContext& into) const
{
    if (Error e = m_dialect.precheck(into, SqlDialect::Target::Maintenance, 0))
        return e;
    const QString path = SqliteDialect::databaseFile(into);
    if (QFileInfo::exists(path))
        return {Error::Kind::AlreadyExists, QString(), QStringLiteral("Database already exists.")};
    if (!QFile::copy(SqliteDialect::databaseFile(from), path))
        return Error::other(QStringLiteral("Cannot copy %1 to %2.").arg(SqliteDialect::databaseFile(from), path));
    return {};
}

QString SqliteAdmin::databaseLocation(const DbContext& ctx) const
{
    return SqliteDialect::databaseFile(ctx);
}

QString SqliteAdmin::plainDatabaseName(const QString& typed) const
{
    return QDir::isAbsolutePath(typed) ? QFileInfo(typed).completeBaseName() : typed;
}
