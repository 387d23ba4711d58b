#include "engine_copy.h"

#include "core/db/database_admin.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <memory>

namespace {
using Status = TestDatabase::Status;

Status missing(const QString& what, QString* why)
{
    *why = QStringLiteral("%1 not found").arg(what);
    return qEnvironmentVariable("LEXORIUM_REQUIRE_PG") == QLatin1String("1") ? Status::Fail : Status::Skip;
}

QString sqliteShell()
{
    const QString given = qEnvironmentVariable("LEXORIUM_TEST_SQLITE3");
    if (given.isEmpty())
        return QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    return QFileInfo(given).isExecutable() ? given : QString();
}

} // namespace

// The newest server's own programs, as scripts/throwaway-pg.sh finds them.
QString EngineCopy::postgresTool(const QString& name)
{
    QString dir = qEnvironmentVariable("LEXORIUM_TEST_PG_BIN");
    if (dir.isEmpty()) {
        QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        std::sort(versions.begin(), versions.end(),
                  [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
        if (!versions.isEmpty())
            dir = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(versions.last());
    }
    const QString inDir = dir + QLatin1Char('/') + name;
    if (!dir.isEmpty() && QFileInfo(inDir).isExecutable())
        return inDir;
    return QStandardPaths::findExecutable(name);
}

namespace {

bool finished(QProcess& process, const QString& what, QString* why)
{
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *why = QStringLiteral("%1 failed (%2): %3")
                   .arg(what)
                   .arg(process.exitCode())
                   .arg(QString::fromLocal8Bit(process.readAllStandardError()));
        return false;
    }
    return true;
}

Status sqliteDump(const DbContext& from, const DbContext& into, QString* why)
{
    const QString shell = sqliteShell();
    if (shell.isEmpty())
        return missing(QStringLiteral("sqlite3"), why);
    QProcess dump;
    QProcess restore;
    dump.setStandardOutputProcess(&restore);
    // -bail: the first statement the new file refuses ends the restore with an error.
    restore.start(shell, {QStringLiteral("-bail"), DatabaseAdmin::databaseLocation(into)});
    dump.start(shell, {DatabaseAdmin::databaseLocation(from), QStringLiteral(".dump")});
    if (!finished(dump, QStringLiteral(".dump"), why))
        return Status::Fail;
    if (!finished(restore, QStringLiteral("restoring the dump"), why))
        return Status::Fail;
    const QByteArray complaints = restore.readAllStandardError();
    if (!complaints.isEmpty()) {
        *why = QStringLiteral("restoring the dump: ") + QString::fromLocal8Bit(complaints);
        return Status::Fail;
    }
    return Status::Ready;
}

QProcess* serverTool(const QString& program, const DbContext& ctx, QStringList args)
{
    auto* process = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), ctx.connection.password.trimmed());
    process->setProcessEnvironment(env);
    const ConnectionString& c = ctx.connection;
    args = QStringList{QStringLiteral("-h"), c.host(),        QStringLiteral("-p"), QString::number(c.port()),
                       QStringLiteral("-U"), c.user.trimmed()} +
           args;
    process->start(program, args);
    return process;
}

Status postgresDump(const DbContext& from, const DbContext& into, QString* why)
{
    const QString pgDump = EngineCopy::postgresTool(QStringLiteral("pg_dump"));
    const QString pgRestore = EngineCopy::postgresTool(QStringLiteral("pg_restore"));
    if (pgDump.isEmpty() || pgRestore.isEmpty())
        return missing(QStringLiteral("pg_dump or pg_restore"), why);
    const QString file = from.programDir + QStringLiteral("/backup.dump");
    std::unique_ptr<QProcess> dump(
        serverTool(pgDump, from, {QStringLiteral("-Fc"), QStringLiteral("-f"), file, from.connection.database}));
    if (!finished(*dump, QStringLiteral("pg_dump"), why))
        return Status::Fail;
    std::unique_ptr<QProcess> restore(serverTool(
        pgRestore, into, {QStringLiteral("--exit-on-error"), QStringLiteral("-d"), into.connection.database, file}));
    return finished(*restore, QStringLiteral("pg_restore"), why) ? Status::Ready : Status::Fail;
}

Status postgresTemplate(const DbContext& from, const DbContext& into, QString* why)
{
    DatabaseAdmin::dropDatabase(into);
    if (const Error e = DatabaseAdmin::copyDatabase(from, into)) {
        *why = e.description;
        return Status::Fail;
    }
    return Status::Ready;
}
} // namespace

TestDatabase::Status EngineCopy::copy(const DbContext& from, const DbContext& into, Tool tool, QString* why)
{
    if (!TestDatabase::isPostgres()) {
        if (tool != Tool::Dump) {
            *why = QStringLiteral("the embedded engine has no template databases");
            return Status::Skip;
        }
        return sqliteDump(from, into, why);
    }
    return tool == Tool::Dump ? postgresDump(from, into, why) : postgresTemplate(from, into, why);
}
