#include "cli/cli_context.h"
#include "cli/commands.h"

#include "core/sync/database_merge.h"

int runMergeCommand(CliContext& context, const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Merges a second database into the present one, as the Synchronisation screen does, with "
                       "nothing lost; prints the run's status lines as it goes."));
    parser.addPositionalArgument(QStringLiteral("SERVER"),
                                 QStringLiteral("(local) for an embedded database, or a PostgreSQL server."));
    parser.addPositionalArgument(QStringLiteral("DATABASE"), QStringLiteral("The database to merge in."));
    parser.addPositionalArgument(QStringLiteral("USER"), QStringLiteral("The server login."));
    parser.addPositionalArgument(QStringLiteral("PASSWORD"), QStringLiteral("Its password."));
    if (const std::optional<int> status = context.parse(parser, arguments, 4, 4))
        return *status;
    const Result<DbContext> ctx = context.openDatabase();
    if (!ctx)
        return context.fail(ctx.error());
    const QStringList p = parser.positionalArguments();
    DatabaseMerge merge(*ctx, MergeSource{p.at(0), p.at(1), p.at(2), p.at(3)});
    if (merge.isSameDatabase())
        return context.fail(Error::other(DatabaseMerge::kSameDatabase));
    QTextStream& out = context.out();
    QString last;
    merge.setProgress([&out, &last](const QString& status, int) {
        if (status == last)
            return;
        last = status;
        out << status << '\n';
        out.flush();
    });
    const Result<DatabaseMerge::Summary> summary = merge.run();
    if (!summary)
        return context.fail(summary.error());
    if (summary->outcome != DatabaseMerge::Outcome::Merged)
        return context.fail(Error::other(summary->message));
    out << QStringLiteral("Merged: %1 citations added.\n").arg(summary->citationsAdded);
    out.flush();
    return 0;
}
