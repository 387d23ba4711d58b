#pragma once

#include "core/db/db_context.h"
#include "core/db/db_error.h"

#include <QStringList>

// Logins, creating and dropping a database, and the start-up clean-up.
class DatabaseAdmin
{
public:
    // A login to the server alone; names no database of ours.
    static DbError testLogin(const DbContext& ctx, int timeoutSeconds = 60);
    // Opens the current database once and closes it again.
    static DbError tryOpen(const DbContext& ctx, int timeoutSeconds = 60);

    static DbError createDatabase(const DbContext& ctx);
    static DbError dropDatabase(const DbContext& ctx);

    static QStringList userTables(const DbContext& ctx, DbError* error);
    // Drops the merge's leftover working tables, whatever their letter case, and nothing else.
    static DbError dropTempTables(const DbContext& ctx, QStringList* dropped = nullptr);
};
