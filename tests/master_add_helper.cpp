// Adds master names from a process of its own, for the tests that run two writers at once on one database.
//
//   master_add_helper <programDir> <server> <user> <database> <startFile> <same|distinct> <count> <tag>
//
// The password comes in LEXORIUM_HELPER_PASSWORD. The helper opens its session, prints "ready", waits until
// the start file exists and then adds <count> categories, one at a time as the Category screen does: the same
// name each time, or names of its own ("<tag> <n>"). It ends by printing "done=<n> duplicate=<n> failed=<n>"; every
// failure goes to stderr.
#include "core/db/db_session.h"
#include "core/masters/master_store.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 9) {
        std::fprintf(stderr, "usage: master_add_helper programDir server user database startFile "
                             "same|distinct count tag\n");
        return 2;
    }
    const DbContext ctx{args.at(1),
                        {args.at(2), args.at(3), args.at(4), qEnvironmentVariable("LEXORIUM_HELPER_PASSWORD")}};
    const QString startFile = args.at(5);
    const bool same = args.at(6) == QLatin1String("same");
    const int count = args.at(7).toInt();
    const QString tag = args.at(8);

    DbSession session(ctx);
    if (!session.isOpen()) {
        std::fprintf(stderr, "open: %s\n", qPrintable(session.error().description));
        return 2;
    }
    // As the test PostgreSQL server runs with fsync off, the embedded engine does not wait for the disk here:
    // the locks are the same, but one writer's hundred commits then take milliseconds, not seconds. With a
    // disk wait, back-to-back commits of one process would keep the other out for longer than its busy
    // time-out, whatever the store does.
    if (ctx.connection.isEmbedded()) {
        const Result<int> fast = session.execute(QStringLiteral("PRAGMA synchronous = OFF"));
        if (!fast) {
            std::fprintf(stderr, "pragma: %s\n", qPrintable(fast.error().description));
            return 2;
        }
    }
    MasterStore store(session, MasterKind::Category);
    std::printf("ready\n");
    std::fflush(stdout);

    QDeadlineTimer deadline(60 * 1000);
    while (!QFileInfo::exists(startFile)) {
        if (deadline.hasExpired()) {
            std::fprintf(stderr, "no start signal\n");
            return 2;
        }
        QThread::usleep(200);
    }

    int done = 0;
    int duplicate = 0;
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        const QString name = same ? QStringLiteral("Same Name") : QStringLiteral("%1 %2").arg(tag).arg(i);
        const Result<qint64> r = store.add(name);
        switch (r.error().kind) {
        case Error::Kind::None:
            ++done;
            break;
        case Error::Kind::Duplicate:
            ++duplicate;
            break;
        default:
            ++failed;
            std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(r.error().description));
            break;
        }
        // What a screen does after each Add: the list read again and the next id proposed.
        const Result<QList<MasterRow>> rows = store.rows();
        const Result<qint64> next = store.nextId();
        if (!rows || !next) {
            ++failed;
            std::fprintf(stderr, "reload: %s\n", qPrintable((rows ? next.error() : rows.error()).description));
        }
    }
    std::printf("done=%d duplicate=%d failed=%d\n", done, duplicate, failed);
    return failed == 0 ? 0 : 1;
}
