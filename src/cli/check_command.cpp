#include "cli/cli_context.h"
#include "cli/commands.h"

#include "core/backup/database_check.h"
#include "core/db/db_session.h"

namespace {
void print(QTextStream& out, const DatabaseCheck::Report& report)
{
    for (const DatabaseCheck::Problem& problem : report.problems)
        out << CliContext::field(problem.text) << '\n';
}
} // namespace

int runCheckCommand(CliContext& context, const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Checks the database: its tables, columns and foreign keys, the search index against the "
                       "texts, rows that link to a missing row, texts no citation owns, master names the duplicate "
                       "rule makes the same, and the engine's own check. Prints each problem on a line; exit status "
                       "1 when there is one."));
    const QCommandLineOption repair(QStringLiteral("repair"),
                                    QStringLiteral("Rebuild the search index and remove the texts no citation owns, "
                                                   "in one transaction, then check again."));
    parser.addOption(repair);
    if (const std::optional<int> status = context.parse(parser, arguments, 0, 0))
        return *status;
    const std::unique_ptr<DbSession> opened = context.openSession();
    if (!opened)
        return 1;
    DbSession& session = *opened;
    Result<DatabaseCheck::Report> report = DatabaseCheck::run(session);
    if (!report)
        return context.fail(report.error());
    QTextStream& out = context.out();
    print(out, *report);
    if (report->ok()) {
        out << "No problems found.\n";
        out.flush();
        return 0;
    }
    if (!parser.isSet(repair)) {
        out.flush();
        return 1;
    }
    const QStringList plan = DatabaseCheck::repairPlan(*report);
    if (plan.isEmpty()) {
        out << "Nothing of this can be repaired here.\n";
        out.flush();
        return 1;
    }
    for (const QString& step : plan)
        out << "Repair: " << step << '\n';
    out.flush();
    if (const Error e = DatabaseCheck::repair(session))
        return context.fail(e);
    report = DatabaseCheck::run(session);
    if (!report)
        return context.fail(report.error());
    out << "Repaired. Checked again:\n";
    print(out, *report);
    if (report->ok())
        out << "No problems found.\n";
    out.flush();
    return report->ok() ? 0 : 1;
}
