#pragma once

#include "core/db/db_context.h"
#include "core/util/error.h"
#include "core/util/result.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

class DbSession;

// The backups the program makes by itself: before every synchronisation run, and when it closes and the newest is
// older than a day. They go into the Backups folder beside the databases, named <database>-<yyyy-MM-dd-HHmmss>.db,
// and the newest ten of each database are kept. The time is the caller's: the core reads no clock.
class AutomaticBackups
{
public:
    static constexpr int kKept = 10;
    // How old the newest backup may be when the program closes.
    static constexpr qint64 kMaxAgeSeconds = 24 * 60 * 60;

    static QString folder(const DbContext& ctx);
    static QString fileName(const DbContext& ctx, const QDateTime& at);
    // The database's automatic backups, oldest first.
    static QStringList existing(const DbContext& ctx);
    // When the newest was made, as its name tells; none when there is none.
    static std::optional<QDateTime> newest(const DbContext& ctx);
    // Whether closing at `now` should make one.
    static bool isDue(const DbContext& ctx, const QDateTime& now);

    // Backs the session's database up into the folder (made when missing, readable by its owner only) and removes
    // all but the newest kKept. The file made.
    static Result<QString> make(DbSession& present, const QDateTime& at);
    // The words the merge's success message adds.
    static QString madeBeforeMerge(const QString& file);
};
