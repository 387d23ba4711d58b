#include "core/db/database_setup.h"

#include "core/db/database_admin.h"
#include "core/db/db_session.h"
#include "core/db/schema.h"
#include "core/db/settings_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
Error refusedServerName(const ConnectionString& settings)
{
    const QString why = ConnectionString::serverNameProblem(settings.server);
    return why.isEmpty() ? Error() : Error::other(QStringLiteral("Invalid server name.\n") + why);
}

// Why the open database cannot be used as it is: not ours, or unreadable. Newer and older schemas are left to
// Schema::ensureCurrent.
Error notOurs(DbSession& session)
{
    const QString name = session.context().connection.database.trimmed();
    const Result<Schema::Status> status = Schema::inspect(session);
    if (!status)
        return Error::other(
            QStringLiteral("The database \"%1\" cannot be read.\n%2").arg(name, status.error().description),
            status.error().code);
    if (status->state != Schema::State::NotOurs)
        return {};
    if (status->missingTables.size() == Schema::allTables().size())
        return Error::other(QStringLiteral("The database \"%1\" is not a Lexorium database: it holds none of the "
                                           "program's tables. It was left unchanged.")
                                .arg(name));
    return Error::other(QStringLiteral("The database \"%1\" is not a complete Lexorium database: the tables %2 "
                                       "are missing. It was left unchanged.")
                            .arg(name, status->missingTables.join(QStringLiteral(", "))));
}
} // namespace

Error DatabaseSetup::testConnection(const QString& programDir, const ConnectionString& settings)
{
    if (Error e = refusedServerName(settings))
        return e;
    return DatabaseAdmin::testLogin({programDir, settings});
}

DatabaseSetup::Created DatabaseSetup::createNew(const QString& programDir, const ConnectionString& settings)
{
    return createNew(ProgramFolders::beside(programDir), settings);
}

DatabaseSetup::Created DatabaseSetup::createNew(const ProgramFolders& folders, const ConnectionString& settings)
{
    const DbContext ctx = folders.context(settings);
    using Failure = Created::Failure;
    // Checked first, so that a name the settings file could not hold never makes a database.
    if (Error e = refusedServerName(settings))
        return {Failure::Login, e};
    const QString unstorable = SettingsFile::problem(settings);
    if (!unstorable.isEmpty())
        return {Failure::Settings, Error::other(unstorable)};
    if (Error e = DatabaseAdmin::testLogin(ctx))
        return {Failure::Login, e};
    if (Error e = DatabaseAdmin::createDatabase(ctx))
        return {Failure::CreateDatabase, e};
    Created result;
    {
        DbSession session(ctx);
        if (Error e = session.isOpen() ? Schema::create(session) : session.error())
            result = {Failure::Schema, e};
    }
    if (result.ok()) {
        // The user's application-data folder may not be there yet.
        QDir().mkpath(QFileInfo(folders.settingsFile).absolutePath());
        if (Error e = SettingsFile::writeFile(folders.settingsFile, settings))
            result = {Failure::Settings, e};
    }
    if (!result.ok())
        DatabaseAdmin::dropDatabase(ctx);
    return result;
}

Result<DatabaseSetup::Opened> DatabaseSetup::openStored(const QString& programDir, const Progress& progress,
                                                        const Percent& percent)
{
    return openStored(ProgramFolders::beside(programDir), progress, percent);
}

Result<DatabaseSetup::Opened> DatabaseSetup::openStored(const ProgramFolders& folders, const Progress& progress,
                                                        const Percent& percent)
{
    Opened result;
    if (!QFile::exists(folders.settingsFile))
        return result;
    const Result<ConnectionString> stored = SettingsFile::readFile(folders.settingsFile);
    if (!stored)
        return stored.error();
    const ConnectionString connection = *stored;
    DbSession session(folders.context(connection));
    if (!session.isOpen())
        return session.error();
    Error unusable = notOurs(session);
    if (!unusable)
        unusable = Schema::ensureCurrent(session, progress, percent);
    if (unusable) {
        // Only a server that did not answer ends the start; this one answered.
        if (unusable.kind == Error::Kind::Unreachable)
            unusable.kind = Error::Kind::Other;
        return unusable;
    }
    result.cleanupError = DatabaseAdmin::dropTempTables(session);
    result.connection = connection;
    return result;
}
