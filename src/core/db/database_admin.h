#pragma once

#include "core/db/db_context.h"
#include "core/db/db_error.h"
#include "core/db/db_result.h"

#include <QStringList>

class DbSession;

// Logins, creating and dropping a database, and the start-up clean-up.
class DatabaseAdmin
{
public:
    // A login to the server alone; names no database of ours.
    static DbError testLogin(const DbContext& ctx, int timeoutSeconds = 60);

    static DbError createDatabase(const DbContext& ctx);
    static DbError dropDatabase(const DbContext& ctx);

    // Whether the two settings reach one and the same database (the server counts, not only the name).
    static bool sameDatabase(const DbContext& a, const DbContext& b);
    // Whether two open sessions are on one database, as the engines themselves tell it: another spelling of the
    // server (an address for its name) or of the file's path (a link, "..") changes nothing.
    static DbResult<bool> sameDatabase(DbSession& a, DbSession& b);

    static DbResult<QStringList> userTables(DbSession& session);
    // Drops the merge's leftover working tables, whatever their letter case, and nothing else.
    static DbError dropTempTables(DbSession& session, QStringList* dropped = nullptr);
};
