#pragma once

#include "core/util/error.h"
#include "core/util/result.h"

#include <QList>
#include <QString>
#include <QStringList>

class DbSession;

// Verifies a database of the program: the tables, columns and foreign keys of the schema version it records, the
// search index against the texts, rows that link to a missing master, citation or text, text rows that no
// citation owns, master names that the duplicate rule makes the same, and the engine's own check of its storage.
// A repair rebuilds the search index and removes the text rows no citation owns, in one transaction; everything
// else it leaves to the user, as only they know which of two rows is right.
class DatabaseCheck
{
public:
    struct Problem {
        enum class Kind { Schema, SearchIndex, BrokenLink, OrphanText, DuplicateName, Engine };
        Kind kind;
        QString text;
    };
    struct Report {
        QList<Problem> problems;
        qint64 orphanTexts = 0;
        bool searchIndexDamaged = false;
        bool ok() const { return problems.isEmpty(); }
        // What a repair would mend of it.
        bool repairable() const { return orphanTexts > 0 || searchIndexDamaged; }
    };

    // Reads only.
    static Result<Report> run(DbSession& session);
    // What repair() does for the report, one sentence each; empty when it has nothing to do.
    static QStringList repairPlan(const Report& report);
    // Rebuilds the search index and removes the text rows that no citation owns, in one transaction.
    static Error repair(DbSession& session);
};
