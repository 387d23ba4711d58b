#pragma once

#include "core/util/error.h"
#include "core/util/result.h"

#include <QHash>
#include <QString>

#include <functional>

class DbSession;

// The fourteen tables moved whole from one database to another, on whichever engines, and their row counts, which
// tell whether two databases hold the same.
class TableCopy
{
public:
    using Counts = QHash<QString, qint64>;
    // The table being copied and how many of the fourteen are done.
    using Progress = std::function<void(const QString& table, int done, int total)>;

    static Result<Counts> countRows(DbSession& session);
    // Copies every row of every table, parents before children, in the target's current transaction. The target's
    // tables must be empty.
    static Error copyAll(DbSession& from, DbSession& to, const Progress& progress = {});
    // Deletes every row of every table, children before parents.
    static Error clearAll(DbSession& session);
    // The first table whose count differs, in words; empty when they all agree.
    static QString difference(const Counts& expected, const Counts& found);
    static qint64 total(const Counts& counts);
};
