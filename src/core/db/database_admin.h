#pragma once

#include "core/db/db_context.h"
#include "core/util/error.h"
#include "core/util/result.h"

#include <QStringList>

class DbSession;

// Logins, creating, copying and dropping a database, and the start-up clean-up: what the program asks, whichever
// engine it is on.
class DatabaseAdmin
{
public:
    // A login to the server alone; names no database of ours.
    static Error testLogin(const DbContext& ctx, int timeoutSeconds = 60);

    static Error createDatabase(const DbContext& ctx);
    static Error dropDatabase(const DbContext& ctx);
    // Makes `into` (which must not exist) a copy of `from`, which nothing may be connected to meanwhile.
    static Error copyDatabase(const DbContext& from, const DbContext& into);
    static Result<bool> databaseExists(const DbContext& ctx);
    // How settings typed in another screen name the database: the path of its file, or its name on the server.
    static QString databaseLocation(const DbContext& ctx);
    // The database's name as typed, without the place it names (a file named by its path: the file's base name).
    static QString plainDatabaseName(const DbContext& ctx);
    // What the engine itself says the session's database is: equal for two sessions on one database.
    static Result<QString> databaseIdentity(DbSession& session);
    // Whether another connection, of this program or any other, holds the session's database right now.
    static Result<bool> isHeldElsewhere(DbSession& session);
    // The databases at the context's place (its data folder, its server) that its user may drop.
    static Result<QStringList> ownDatabases(const DbContext& ctx);

    // Whether the two settings reach one and the same database (the server counts, not only the name).
    static bool sameDatabase(const DbContext& a, const DbContext& b);
    // Whether two open sessions are on one database, as the engines themselves tell it: another spelling of the
    // server (an address for its name) or of the file's path (a link, "..") changes nothing.
    static Result<bool> sameDatabase(DbSession& a, DbSession& b);

    static Result<QStringList> userTables(DbSession& session);
    // Drops the merge's leftover working tables, whatever their letter case, and nothing else.
    static Error dropTempTables(DbSession& session, QStringList* dropped = nullptr);
};
