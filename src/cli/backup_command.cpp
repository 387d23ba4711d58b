#include "cli/cli_context.h"
#include "cli/commands.h"
#include "cli/terminal_progress.h"

#include "core/backup/database_backup.h"
#include "core/db/db_session.h"

#include <QFileInfo>

int runBackupCommand(CliContext& context, const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Backs the database up into FILE: one embedded database file that restore takes on either "
                       "engine. Others may go on working meanwhile."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The backup file to write."));
    const QCommandLineOption force(QStringLiteral("force"), QStringLiteral("Replace FILE when it is there."));
    parser.addOption(force);
    if (const std::optional<int> status = context.parse(parser, arguments, 1, 1))
        return *status;
    const QString file = QFileInfo(parser.positionalArguments().first()).absoluteFilePath();
    if (QFileInfo::exists(file) && !parser.isSet(force))
        return context.fail(Error::of(Error::Kind::AlreadyExists,
                                      QStringLiteral("%1 is there already; give --force to replace it.").arg(file)));
    const std::unique_ptr<DbSession> opened = context.openSession();
    if (!opened)
        return 1;
    DbSession& session = *opened;
    TerminalProgress bar(context.err(), context.errIsTerminal(), QStringLiteral("Backing up"));
    const Result<DatabaseBackup::Summary> made =
        DatabaseBackup::backup(session, file, [&bar](const QString&, int percent) { bar.update(percent, 100); });
    bar.finish();
    if (!made)
        return context.fail(made.error());
    context.out() << QStringLiteral("Backed up %1 citations (%2 rows) into %3.\n")
                         .arg(made->citations)
                         .arg(made->rows)
                         .arg(made->file);
    context.out().flush();
    return 0;
}
