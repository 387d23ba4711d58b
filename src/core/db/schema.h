#pragma once

#include "core/db/db_context.h"
#include "core/db/sql_dialect.h"
#include "core/util/error.h"
#include "core/util/result.h"

#include <QList>
#include <QStringList>

#include <functional>

class DbSession;

struct IndexDef {
    QString name;
    QString table;
    QString column;
};

// The tables, columns, foreign keys and indexes of a Lexorium database, the routines that create them in an
// empty database, and the upgrade of a database made by an earlier version of the program.
//
// The database records its schema version. Version 1 is the fourteen tables with their foreign keys; version 2
// adds an index on every foreign-key column; version 3 a trigram index of every text that Find Citation searches,
// kept up to date by the engine itself whoever writes the rows; version 4 makes the server's trigram indexes again
// in a cheaper form; version 5 has the server keep the six long texts uncompressed and makes those indexes again in
// a form cheaper still. A copy made with the engine's own tools may have lost the record: its version is then told by
// what it holds, and each upgrade step leaves alone what is there already.
class Schema
{
public:
    static constexpr int kCurrentVersion = 5;

    static QList<TableDef> masterTables();
    static TableDef caseTable();
    static QList<TableDef> linkTables();
    // All fourteen, parents before children.
    static QList<TableDef> allTables();
    // The definition of one of the fourteen by its name; an empty one for any other name.
    static TableDef table(const QString& name);
    static QList<ForeignKeyDef> foreignKeys();
    static QList<ForeignKeyDef> foreignKeysOf(const QString& table);
    // One index on every foreign-key column: the link tables' and case_master's six text keys.
    static QList<IndexDef> foreignKeyIndexes();
    // The searched texts: the six long texts, citation and case title, section, bench name and the three
    // master names.
    static QList<SearchIndexDef> searchIndexes();
    static SearchIndexDef searchIndexOf(const QString& table, const QString& column);

    // The creation steps of version 1, each stopping at its first failing statement, in the caller's transaction
    // when there is one.
    static Error createMasterTables(DbSession& session);
    static Error createCaseTable(DbSession& session);
    static Error createLinkTables(DbSession& session);
    static Error addForeignKeys(DbSession& session);

    // Every table, key and index of the current version in one transaction: all of it, or nothing.
    static Error create(DbSession& session);
    static Error create(const DbContext& ctx);
    // The fourteen tables alone, for a scratch database that is filled, read and dropped by one run of a
    // program routine: no foreign keys (the rows are checked where they finally go), no indexes beyond the
    // keys, no search index, no schema version. Nothing should open it as a database of the program.
    static Error createScratch(DbSession& session);

    enum class State {
        Current, // the program's own schema at its version
        Older,   // made by an earlier version, or its version not recorded; ensureCurrent() brings it up to date
        Newer,   // made by a later version of the program; left alone
        NotOurs, // no tables of ours, or only some of them
    };
    struct Status {
        State state = State::NotOurs;
        int version = 0;       // as recorded, or as told by what the database holds
        bool recorded = false; // whether the database records its version
        QStringList missingTables;
    };
    static Result<Status> inspect(DbSession& session);
    // Why a database of a newer schema version is not opened.
    static QString newerVersionMessage(const QString& database, int version);

    using Progress = std::function<void(const QString& step)>;
    // Makes the database current: an older one is upgraded in one transaction; a newer one, or one without
    // the program's tables, is refused with a message and left as it was.
    // How far the running step has come, 0 to 100: for the search index, how many of the texts are indexed.
    using Percent = std::function<void(int percent)>;
    static Error ensureCurrent(DbSession& session, const Progress& progress = {}, const Percent& percent = {});
};
