// Adds generated citations to a database through the citation store, one transaction each, and tells on stdout
// after every commit. The concurrency tests start several of these at once and kill some of them.
//
//   citation_writer --program-dir DIR --server S --user U --database D --seed N --count N [--hold-after K]
//                   [--retries R] [--pause-ms P]
//
// The password comes from LEXORIUM_WRITER_PASSWORD, so that it is not on a command line. With --hold-after K the
// writer commits K citations, then writes the next one inside a transaction that it never ends, says
// "holding", and waits to be killed. With --retries R an add the database refuses is tried again up to R times,
// as a user would press Add again; each refusal is told as "refused N: why". With --pause-ms P it waits that long
// after each add, as a program that does something between its writes, which lets another writer in.
#include "core/citations/citation_store.h"
#include "core/db/db_session.h"
#include "datagen/citation_generator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QThread>

#include <cstdio>

namespace {
int fail(const QString& why)
{
    std::fprintf(stderr, "citation_writer: %s\n", qPrintable(why));
    return 1;
}

void say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption programDir(QStringLiteral("program-dir"), QStringLiteral("Program folder."),
                                        QStringLiteral("dir"));
    const QCommandLineOption server(QStringLiteral("server"), QStringLiteral("Server name."), QStringLiteral("name"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("User name."), QStringLiteral("name"));
    const QCommandLineOption database(QStringLiteral("database"), QStringLiteral("Database name."),
                                      QStringLiteral("name"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Generator seed."), QStringLiteral("n"));
    const QCommandLineOption count(QStringLiteral("count"), QStringLiteral("Citations to add."), QStringLiteral("n"));
    const QCommandLineOption holdAfter(QStringLiteral("hold-after"),
                                       QStringLiteral("Hold a transaction open after this many."), QStringLiteral("n"));
    const QCommandLineOption retries(QStringLiteral("retries"), QStringLiteral("Tries again after a refusal."),
                                     QStringLiteral("n"));
    const QCommandLineOption pause(QStringLiteral("pause-ms"), QStringLiteral("Waits after each add."),
                                   QStringLiteral("ms"));
    parser.addOptions({programDir, server, user, database, seed, count, holdAfter, retries, pause});
    parser.process(app);
    for (const QCommandLineOption* required : {&programDir, &server, &database, &seed, &count})
        if (!parser.isSet(*required))
            return fail(QStringLiteral("--%1 is required").arg(required->names().first()));

    const DbContext ctx{parser.value(programDir),
                        {parser.value(server), parser.value(user), parser.value(database),
                         qEnvironmentVariable("LEXORIUM_WRITER_PASSWORD")}};
    DbSession session(ctx);
    if (!session.isOpen())
        return fail(session.error().description);
    const CitationStore store(session);
    CitationGenerator generator(parser.value(seed).toULongLong());
    const int n = parser.value(count).toInt();
    const int hold = parser.isSet(holdAfter) ? parser.value(holdAfter).toInt() : -1;
    int triesLeft = parser.value(retries).toInt();
    for (int i = 0; i < n; ++i) {
        const Citation c = generator.next();
        if (i == hold) {
            // The store's add joins this transaction: its rows are written but never committed.
            TransactionGuard guard(session);
            if (guard.error())
                return fail(guard.error().description);
            const Result<qint64> id = store.add(c);
            if (!id)
                return fail(id.error().description);
            say(QStringLiteral("holding %1").arg(*id));
            for (;;)
                QThread::sleep(1);
        }
        Result<qint64> id = store.add(c);
        while (!id && triesLeft > 0) {
            --triesLeft;
            say(QStringLiteral("refused %1: %2").arg(i + 1).arg(id.error().description));
            id = store.add(c);
        }
        if (!id)
            return fail(QStringLiteral("add %1 failed: %2").arg(i + 1).arg(id.error().description));
        say(QStringLiteral("added %1").arg(*id));
        if (parser.isSet(pause))
            QThread::msleep(parser.value(pause).toULong());
    }
    return 0;
}
