#include "cli/cli_context.h"
#include "cli/commands.h"

#include "core/citations/citation_list_query.h"
#include "core/db/db_session.h"

namespace {
// Rows read per statement: enough to keep the statements few, few enough to hold little.
constexpr int kBlock = 500;
} // namespace

int runListCommand(CliContext& context, const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints every citation, one per line: case id, citation, case and date of judgment "
                       "(yyyy-MM-dd), separated by tabs, in case id order."));
    if (const std::optional<int> status = context.parse(parser, arguments, 0, 0))
        return *status;
    const std::unique_ptr<DbSession> opened = context.openSession();
    if (!opened)
        return 1;
    DbSession& session = *opened;
    const CitationListQuery query(session);
    const Result<QList<qint64>> ids = query.caseIds();
    if (!ids)
        return context.fail(ids.error());
    QTextStream& out = context.out();
    for (qsizetype first = 0; first < ids->size(); first += kBlock) {
        const qsizetype last = qMin(first + kBlock, ids->size()) - 1;
        const Result<QList<CitationListRow>> rows = query.rows(ids->at(first), ids->at(last));
        if (!rows)
            return context.fail(rows.error());
        for (const CitationListRow& row : *rows)
            out << row.caseId << '\t' << CliContext::field(row.citation) << '\t' << CliContext::field(row.caseTitle)
                << '\t' << row.judgmentDate.toString(Qt::ISODate) << '\n';
    }
    out.flush();
    return 0;
}
