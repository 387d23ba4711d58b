#pragma once

#include "core/db/db_context.h"
#include "core/util/error.h"
#include "core/util/result.h"

#include <QHash>
#include <QString>

#include <functional>

class DbSession;

// The database to merge in, as the user typed it: server, database name (on the embedded engine also the full
// path of a database file, which is then read where it lies), user name and password.
struct MergeSource {
    QString server;
    QString database;
    QString user;
    QString password;
};

// Merges a second database into the present one, with nothing lost.
//
// Both sides are copied into working databases beside the present one (<present>vor_Old, <second>vor_New); the
// merged content is built in a third (<present>vor_Syn), where every row of the present database keeps its key
// and the rows that come from the second database get keys after the largest. A `vor_id` column in each working
// copy records the key each row has in the merged database (0: not placed; -1 in the second copy's case_master:
// the same citation is there already under another row). Master names match as the master screens' duplicate
// rule decides; a citation matches by its citation text and the month and year of its judgment, and a matched
// citation of the second database is left out with its texts and links.
//
// At the end the rows that are new to the present database are written to it in one transaction: all of them,
// or, after any failure, none. The second database is only read. The working databases are dropped at the end of
// every run, and leftovers of an earlier one at its start and when the program starts (dropLeftovers), but never
// those of a run that is going on. Shows nothing: progress and the outcome are reported.
class DatabaseMerge
{
public:
    // How a run that did not fail ended: merged, or refused before anything was written. A failure is the
    // run's Error instead (Kind::Conflict when the present database changed during the run, Kind::InUse when a
    // working database belongs to another run).
    enum class Outcome { Merged, SameDatabase, LoginFailed, NotMatching };
    struct Summary {
        Outcome outcome = Outcome::Merged;
        QString message; // what the user is told of a refusal; empty when merged
        qint64 citationsAdded = 0;
    };
    // The databases a run opens, for the test seam.
    enum class Database { Present, Second, Old, Syn, New };
    // A status text and the bar's position (0 to 100).
    using Progress = std::function<void(const QString& status, int bar)>;

    static const QString kSameDatabase;
    static const QString kInvalidUser;
    static const QString kMissingTables;
    static const QString kNotMatching;
    static const QString kChangedMeanwhile;
    static const QString kWorkingInUse;

    DatabaseMerge(const DbContext& present, const MergeSource& source);

    QString presentName() const;
    QString oldDbName() const;
    QString synDbName() const;
    QString newDbName() const;
    // Where the second database is, as the engines take it.
    DbContext secondContext() const;
    DbContext workingContext(const QString& name) const;
    // Whether the second database is the present one as the settings spell it: the same file, or the same server
    // and name. The run asks the engines as well, which also know another spelling of the same.
    bool isSameDatabase() const;

    // Drops the working databases that runs into the present database left behind when they were ended before
    // cleaning up (the program killed, the computer switched off): its own two and every second database's copy
    // at the same place (found by the ending of its name, as nothing records which it was). Only those that hold
    // exactly what a run makes, and none that a running merge holds. What was dropped goes to `dropped`.
    static Error dropLeftovers(const DbContext& present, QStringList* dropped = nullptr);

    void setProgress(Progress progress) { m_progress = std::move(progress); }
    // Test seam: the first statement on that database whose text holds the marker fails as the engine would.
    void injectFailure(Database where, const QString& marker) { m_failures.insert(where, marker); }
    // Test seam: how many citations the write-back takes at a time.
    void setWriteBackBatch(int citations) { m_writeBackBatch = citations; }

    // The whole run, in the calling thread (every session it needs is opened and closed here).
    Result<Summary> run();

private:
    struct TableStats {
        qint64 maxKey = 0;
        qint64 rows = 0;
    };

    void report(const QString& status, int bar) const;
    void arm(DbSession& session, Database which) const;
    Result<Summary> checkTables(DbSession& second) const;
    // Drops each of the named working databases that is not in use and holds no table but the program's;
    // `strict` wants exactly what a run makes: the fourteen tables without the keys of a database in use.
    static Error dropUnused(const DbContext& present, const QStringList& names, bool strict, QStringList* dropped);
    Error dropCreated() const;
    Error merge(DbSession& second, qint64* added);
    Error copyAll(DbSession& from, DbSession& to) const;
    Result<TableStats> statsOf(DbSession& session, const QString& table) const;
    Error mergeMasters(DbSession& old, DbSession& second, DbSession& syn);
    Error mergeNames(const QString& table, DbSession& old, DbSession& second, DbSession& syn);
    Error mergeCases(DbSession& old, DbSession& second, DbSession& syn, qint64* added);
    Error mergeLinks(DbSession& old, DbSession& second, DbSession& syn);
    Error apply(DbSession& present, DbSession& syn);

    DbContext m_present;
    MergeSource m_source;
    Progress m_progress;
    QHash<Database, QString> m_failures;
    QHash<QString, TableStats> m_oldStats;
    QStringList m_created;    // the working databases this run made
    int m_writeBackBatch = 0; // 0: the write-back's own
};
