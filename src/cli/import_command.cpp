#include "cli/cli_context.h"
#include "cli/commands.h"
#include "cli/terminal_progress.h"

#include "core/db/db_session.h"
#include "core/transfer/citation_import.h"

int runImportCommand(CliContext& context, const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Imports the citations of a .csv, .xlsx or CSL-JSON (.json) file, each row stored on its own; "
                       "prints how many were read, stored, skipped as duplicates and refused, then each refused "
                       "row with its line, row or item and the reason."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The file to import."));
    const QCommandLineOption dryRun(
        QStringLiteral("dry-run"),
        QStringLiteral("Check the whole file and say what would be refused; write nothing."));
    const QCommandLineOption allowDuplicates(
        QStringLiteral("allow-duplicates"),
        QStringLiteral("Store a row even when a citation of the same text and month and year of judgment is there."));
    parser.addOption(dryRun);
    parser.addOption(allowDuplicates);
    if (const std::optional<int> status = context.parse(parser, arguments, 1, 1))
        return *status;
    const std::unique_ptr<DbSession> opened = context.openSession();
    if (!opened)
        return 1;
    DbSession& session = *opened;

    ImportOptions options;
    options.dryRun = parser.isSet(dryRun);
    options.allowDuplicates = parser.isSet(allowDuplicates);
    TerminalProgress bar(context.err(), context.errIsTerminal(), QStringLiteral("Importing"));
    const Result<ImportSummary> summary =
        CitationImport::run(session, parser.positionalArguments().first(), options, nullptr,
                            [&bar](const ImportSummary&, int percent) { bar.update(percent, 100); });
    bar.finish();
    if (!summary)
        return context.fail(summary.error());
    context.out() << CitationImport::summaryText(*summary) << '\n' << CitationImport::refusalsText(*summary);
    context.out().flush();
    return 0;
}
