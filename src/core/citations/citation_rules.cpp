#include "core/citations/citation_rules.h"

#include "core/citations/citation_tables.h"

namespace {
Error tooLong(const QString& field, int limit, qsizetype length)
{
    return Error::other(QStringLiteral("The %1 may hold at most %2 characters; it has %3. Nothing was stored.")
                            .arg(field)
                            .arg(limit)
                            .arg(length));
}

// Measured as the columns' lengths are, so that a text the database would take is never refused here.
Error lengthError(const QString& field, const QString& text, int limit)
{
    const qsizetype length = CitationRules::characterCount(text);
    return length > limit ? tooLong(field, limit, length) : Error();
}
} // namespace

const QString& CitationRules::refusedInCitation()
{
    static const QString refused = QStringLiteral("!\"#$%&*+,-/:;=?@\\^_`|~");
    return refused;
}

bool CitationRules::isRefusedInCitation(QChar c)
{
    return refusedInCitation().contains(c);
}

QString CitationRules::emptyCitationMessage()
{
    return QStringLiteral("Please enter the citation.");
}

Error CitationRules::requiredError(const Citation& c)
{
    return c.citation.trimmed().isEmpty() ? Error::other(emptyCitationMessage()) : Error();
}

Error CitationRules::limitsError(const Citation& c)
{
    if (Error e = lengthError(QStringLiteral("Citation"), c.citation, CitationTables::citationLength()))
        return e;
    if (Error e = lengthError(QStringLiteral("Case"), c.caseTitle, CitationTables::caseTitleLength()))
        return e;
    for (const CitationTextTable& t : CitationTables::texts())
        if (Error e = lengthError(t.caption, c.text(t.text), t.maxLength))
            return e;
    const int sectionLength = CitationTables::acts().textLength;
    for (const CitationLink& act : c.acts)
        if (!isPlaceholder(act))
            if (Error e = lengthError(QStringLiteral("Section of %1").arg(act.name), act.section, sectionLength))
                return e;
    if (c.bench.size() > Citation::kBenchRows)
        return Error::other(
            QStringLiteral("A citation has at most %1 bench names. Nothing was stored.").arg(Citation::kBenchRows));
    for (int row = 0; row < c.bench.size(); ++row)
        if (Error e = lengthError(QStringLiteral("Bench name in row %1").arg(row + 1), c.bench[row],
                                  CitationTables::bench().textLength))
            return e;
    // Both engines write and read a date as four-digit years; one beyond them would come back as another date.
    if (c.judgmentDate.isValid() && (c.judgmentDate.year() < 1 || c.judgmentDate.year() > 9999))
        return Error::other(
            QStringLiteral("The date of judgment must lie between the years 1 and 9999. Nothing was stored."));
    return {};
}

Citation CitationRules::asAdded(const Citation& typed)
{
    Citation c = typed;
    c.caseTitle = trimBlanks(c.caseTitle);
    for (QString& text : c.texts)
        text = trimBlanks(text);
    return c;
}

QString CitationRules::trimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

qsizetype CitationRules::characterCount(const QString& text)
{
    qsizetype count = text.size();
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && text.at(i + 1).isLowSurrogate()) {
            --count;
            ++i;
        }
    }
    return count;
}

bool CitationRules::isPlaceholder(const CitationLink& link)
{
    return link.name.compare(QLatin1String("(None)"), Qt::CaseInsensitive) == 0 || link.masterId == 0;
}
