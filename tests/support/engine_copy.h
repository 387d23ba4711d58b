#pragma once

#include "core/db/db_context.h"
#include "support/test_database.h"

// Copies a database with the engine's own tools, the way a user restores a backup outside the program: the
// embedded engine's shell (`sqlite3 old.db .dump | sqlite3 new.db`), or the server's pg_dump and pg_restore, or
// CREATE DATABASE ... TEMPLATE. The tools are found through LEXORIUM_TEST_SQLITE3 and LEXORIUM_TEST_PG_BIN, else
// where the packages put them, else on the PATH; without them the test is skipped, or failed under
// LEXORIUM_REQUIRE_PG.
class EngineCopy
{
public:
    enum class Tool { Dump, Template };

    // `into` exists and is empty for Dump; for Template it is made by the copy (dropped first if it is there).
    // Nothing may be connected to `from` for Template.
    static TestDatabase::Status copy(const DbContext& from, const DbContext& into, Tool tool, QString* why);

    // One of the newest server's own programs (pg_dump, pg_restore ...), found as above; empty when there is none.
    static QString postgresTool(const QString& name);
};
