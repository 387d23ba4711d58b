#pragma once

#include "core/db/db_context.h"
#include "core/db/db_error.h"
#include "core/db/sql_dialect.h"

#include <QList>

// The tables, columns and foreign keys of a Lexorium database, and the four routines that create them in an
// empty database. Each routine opens its own connection and stops at its first failing statement.
class Schema
{
public:
    static QList<TableDef> masterTables();
    static TableDef caseTable();
    static QList<TableDef> linkTables();
    static QList<ForeignKeyDef> foreignKeys();
    static QList<ForeignKeyDef> foreignKeysOf(const QString& table);

    static DbError createMasterTables(const DbContext& ctx);
    static DbError createCaseTable(const DbContext& ctx);
    static DbError createLinkTables(const DbContext& ctx);
    static DbError addForeignKeys(const DbContext& ctx);

    // All four, in order, stopping at the first failure.
    static DbError create(const DbContext& ctx);
};
