#include "cli/cli_context.h"
#include "cli/commands.h"

#include "core/citations/citation_export.h"
#include "core/db/db_session.h"

#include <QDate>

int runExportCommand(CliContext& context, const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes one citation to a text file (.txt) or a workbook (.xls, .xlsx), as Save Report does, "
                       "dated today."));
    parser.addPositionalArgument(QStringLiteral("CASE_ID"), QStringLiteral("The citation's case id."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The file to write: .txt, .xls or .xlsx."));
    if (const std::optional<int> status = context.parse(parser, arguments, 2, 2))
        return *status;
    bool ok = false;
    const qint64 caseId = parser.positionalArguments().at(0).toLongLong(&ok);
    if (!ok || caseId <= 0)
        return context.usage(parser, QStringLiteral("The case id must be a whole number above 0."));
    const QString fileName = parser.positionalArguments().at(1);
    const QString ending = fileName.section(QLatin1Char('.'), -1).toLower();
    if (!fileName.contains(QLatin1Char('.')) ||
        !QStringList{QStringLiteral("txt"), QStringLiteral("xls"), QStringLiteral("xlsx")}.contains(ending))
        return context.usage(parser, QStringLiteral("The file must end in .txt, .xls or .xlsx."));
    const std::unique_ptr<DbSession> opened = context.openSession();
    if (!opened)
        return 1;
    DbSession& session = *opened;
    if (Error e =
            CitationExport::write(session, CitationExport::formatFor(fileName), caseId, fileName, QDate::currentDate()))
        return context.fail(e);
    context.out() << QStringLiteral("The report has been stored in %1\n").arg(fileName);
    context.out().flush();
    return 0;
}
