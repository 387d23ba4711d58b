#include "core/db/database_setup.h"

#include "core/db/database_admin.h"
#include "core/db/db_session.h"
#include "core/db/schema.h"
#include "core/db/settings_file.h"

DatabaseSetup::Created DatabaseSetup::createNew(const QString& programDir, const ConnectionString& settings)
{
    const DbContext ctx{programDir, settings};
    using Failure = Created::Failure;
    if (DbError e = DatabaseAdmin::testLogin(ctx))
        return {Failure::Login, e};
    if (DbError e = DatabaseAdmin::createDatabase(ctx))
        return {Failure::CreateDatabase, e};
    Created result;
    {
        DbSession session(ctx);
        if (DbError e = session.isOpen() ? Schema::create(session) : session.error())
            result = {Failure::Schema, e};
    }
    if (result.ok()) {
        QString why;
        if (!SettingsFile::write(programDir, settings, &why))
            result = {Failure::Settings, DbError::other(why)};
    }
    if (!result.ok())
        DatabaseAdmin::dropDatabase(ctx);
    return result;
}

DatabaseSetup::Opened DatabaseSetup::openStored(const QString& programDir, const Progress& progress)
{
    Opened result;
    if (!SettingsFile::exists(programDir))
        return result;
    QString why;
    if (!SettingsFile::read(programDir, &result.connection, &why)) {
        result.outcome = Opened::Outcome::BadSettings;
        result.error = DbError::other(why);
        return result;
    }
    DbSession session({programDir, result.connection});
    if (!session.isOpen()) {
        result.error = session.error();
        result.outcome = result.error.kind == DbError::Kind::Unreachable ? Opened::Outcome::Unreachable
                                                                         : Opened::Outcome::Refused;
        return result;
    }
    if (DbError e = Schema::ensureCurrent(session, progress)) {
        result.outcome = Opened::Outcome::Refused;
        result.error = e;
        return result;
    }
    result.cleanupError = DatabaseAdmin::dropTempTables(session);
    result.outcome = Opened::Outcome::Ready;
    return result;
}
