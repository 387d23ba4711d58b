#pragma once

#include "core/backup/table_copy.h"
#include "core/db/db_context.h"
#include "core/util/error.h"
#include "core/util/result.h"

#include <QString>

#include <functional>

class DbSession;

// A backup is one embedded database file of the program's schema, whichever engine the present database is on:
// a snapshot of all fourteen tables taken while others may be writing. It is written under a temporary name and
// takes its own name only once the engine's check of the file passes and every table holds as many rows as the
// snapshot did, so that a file of that name is always a whole backup.
//
// A restore copies a backup into the present database in one transaction: into an empty database, or over one
// that holds rows only when told to replace them. A failure leaves the present database as it was.
class DatabaseBackup
{
public:
    // What the step is, and how far the whole is (0 to 100).
    using Progress = std::function<void(const QString& step, int percent)>;

    struct Summary {
        QString file;
        qint64 citations = 0;
        qint64 rows = 0; // in all fourteen tables
    };

    // Why a restore over a database with rows needs the user's word: the database, its citations and its rows.
    static const QString kNotEmpty;
    static const QString kNotABackup;

    // The suffix of the name a backup is written under until it has been verified.
    static QString partialName(const QString& file);
    // A context on the embedded engine naming the file by its path, with the present one's folders.
    static DbContext fileContext(const DbContext& present, const QString& file);

    // Backs the session's database up into `file`, replacing a file of that name only once the new one is whole.
    static Result<Summary> backup(DbSession& present, const QString& file, const Progress& progress = {});

    // What a backup file holds; refused when it is not a sound database of the program's schema.
    static Result<Summary> inspect(const DbContext& present, const QString& file);

    // The rows the session's database holds now: the restore asks before replacing them.
    static Result<TableCopy::Counts> presentRows(DbSession& present);

    enum class Replace { No, Yes };
    // Copies the backup into the session's database. Refused with Kind::Conflict (kNotEmpty) when the database
    // holds any row and `replace` is No.
    static Result<Summary> restore(DbSession& present, const QString& file, Replace replace,
                                   const Progress& progress = {});
};
