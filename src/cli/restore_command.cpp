#include "cli/cli_context.h"
#include "cli/commands.h"
#include "cli/terminal_progress.h"

#include "core/backup/database_backup.h"
#include "core/db/db_session.h"

int runRestoreCommand(CliContext& context, const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Copies a backup made by backup into the database, in one transaction. A database that holds "
                       "rows is replaced only with --force; a failed restore leaves it as it was."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The backup file to restore."));
    const QCommandLineOption force(QStringLiteral("force"),
                                   QStringLiteral("Replace what the database holds with the backup's rows."));
    parser.addOption(force);
    if (const std::optional<int> status = context.parse(parser, arguments, 1, 1))
        return *status;
    const std::unique_ptr<DbSession> opened = context.openSession();
    if (!opened)
        return 1;
    DbSession& session = *opened;
    TerminalProgress bar(context.err(), context.errIsTerminal(), QStringLiteral("Restoring"));
    const Result<DatabaseBackup::Summary> restored =
        DatabaseBackup::restore(session, parser.positionalArguments().first(),
                                parser.isSet(force) ? DatabaseBackup::Replace::Yes : DatabaseBackup::Replace::No,
                                [&bar](const QString&, int percent) { bar.update(percent, 100); });
    bar.finish();
    if (!restored) {
        Error e = restored.error();
        if (e.kind == Error::Kind::Conflict)
            e.description += QStringLiteral(" Give --force to replace them.");
        return context.fail(e);
    }
    context.out() << QStringLiteral("Restored %1 citations (%2 rows) from %3.\n")
                         .arg(restored->citations)
                         .arg(restored->rows)
                         .arg(restored->file);
    context.out().flush();
    return 0;
}
