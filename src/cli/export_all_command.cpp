#include "cli/cli_context.h"
#include "cli/commands.h"
#include "cli/terminal_progress.h"

#include "core/db/db_session.h"
#include "core/transfer/citation_transfer_export.h"

int runExportAllCommand(CliContext& context, const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes every citation, in case id order, to a .csv, .xlsx or CSL-JSON (.json) file in the "
                       "form the import reads back."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The file to write; its ending names the "
                                                                        "format."));
    if (const std::optional<int> status = context.parse(parser, arguments, 1, 1))
        return *status;
    const std::unique_ptr<DbSession> opened = context.openSession();
    if (!opened)
        return 1;
    DbSession& session = *opened;
    TerminalProgress bar(context.err(), context.errIsTerminal(), QStringLiteral("Exporting"));
    const Result<qint64> written =
        CitationTransferExport::write(session, parser.positionalArguments().first(), {}, nullptr,
                                      [&bar](qint64 done, qint64 total) { bar.update(done, total); });
    bar.finish();
    if (!written)
        return context.fail(written.error());
    context.out()
        << QStringLiteral("Wrote %1 citations to %2.\n").arg(*written).arg(parser.positionalArguments().first());
    context.out().flush();
    return 0;
}
