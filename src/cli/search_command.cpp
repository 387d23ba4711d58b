#include "cli/cli_context.h"
#include "cli/commands.h"

#include "core/db/db_session.h"
#include "core/search/citation_search.h"

int runSearchCommand(CliContext& context, const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Finds the citations that hold a text, as Find Citation does (its passes in their order), "
                       "and prints one line per hit: case id, citation and where it was found, separated by tabs."));
    parser.addPositionalArgument(QStringLiteral("TEXT"), QStringLiteral("The text to find; it cannot begin with a "
                                                                        "blank."));
    const QCommandLineOption field(
        QStringLiteral("field"),
        QStringLiteral("Look in this field only: %1.").arg(CitationSearch::fieldChoices().join(QStringLiteral(", "))),
        QStringLiteral("NAME"));
    const QCommandLineOption allFields(QStringLiteral("all-fields"), QStringLiteral("Look in every field (the "
                                                                                    "default without --field)."));
    const QCommandLineOption matchCase(QStringLiteral("match-case"), QStringLiteral("Letters must match in case."));
    const QCommandLineOption wholeWord(QStringLiteral("whole-word"), QStringLiteral("Find whole words only."));
    parser.addOptions({field, allFields, matchCase, wholeWord});
    if (const std::optional<int> status = context.parse(parser, arguments, 1, 1))
        return *status;

    SearchRequest request;
    request.text = parser.positionalArguments().first();
    if (request.text.isEmpty() || request.text.front().isSpace())
        return context.usage(parser, QStringLiteral("The search text cannot be empty or begin with a blank."));
    request.field = SearchField::AllFields;
    if (parser.isSet(field) && !parser.isSet(allFields)) {
        const QString named = parser.value(field);
        QString choice;
        for (const QString& c : CitationSearch::fieldChoices())
            if (c.compare(named, Qt::CaseInsensitive) == 0)
                choice = c;
        if (choice.isEmpty())
            return context.usage(parser, QStringLiteral("There is no field %1; the fields are %2.")
                                             .arg(named, CitationSearch::fieldChoices().join(QStringLiteral(", "))));
        request.field = CitationSearch::fieldForChoice(choice);
    }
    request.matchCase = parser.isSet(matchCase);
    request.wholeWord = parser.isSet(wholeWord);

    const std::unique_ptr<DbSession> opened = context.openSession();
    if (!opened)
        return 1;
    DbSession& session = *opened;
    QTextStream& out = context.out();
    const Error e =
        CitationSearch(session).run(CitationSearch::passesFor(request), request, [&out](const SearchHit& hit) {
            out << hit.caseId << '\t' << CliContext::field(hit.citation) << '\t' << CliContext::field(hit.foundIn)
                << '\n';
        });
    out.flush();
    if (e)
        return context.fail(e);
    return 0;
}
