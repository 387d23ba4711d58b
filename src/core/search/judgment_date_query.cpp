#include "core/search/judgment_date_query.h"

#include "core/search/citation_search.h"

#include <QDateTime>
#include <QRegularExpression>

namespace {
const QDate kNoDate(9999, 1, 1);

// 1..12 for an English month name or its abbreviation (any letter case), 0 otherwise.
int monthFromName(const QString& name)
{
    static const char* const names[] = {"january", "february", "march",     "april",   "may",      "june",
                                        "july",    "august",   "september", "october", "november", "december"};
    const QString lower = name.toLower();
    if (lower.size() < 3)
        return 0;
    for (int m = 0; m < 12; ++m) {
        const QString full = QLatin1String(names[m]);
        if (full.startsWith(lower))
            return m + 1;
    }
    if (lower == QLatin1String("sept"))
        return 9;
    return 0;
}

int monthFrom(const QString& text)
{
    bool numeric = false;
    const int n = text.toInt(&numeric);
    if (numeric)
        return n >= 1 && n <= 12 ? n : 0;
    return monthFromName(text);
}

QRegularExpression pattern(const char* text)
{
    return QRegularExpression(QLatin1String(text), QRegularExpression::CaseInsensitiveOption);
}
} // namespace

JudgmentDateQuery JudgmentDateQuery::parse(const QString& text)
{
    static const QRegularExpression dayFirst = pattern("^(\\d{1,2})[-/. ]+([a-z]+|\\d{1,2})[-/. ,]+(\\d{4})$");
    static const QRegularExpression isoDay = pattern("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$");
    static const QRegularExpression monthFirst = pattern("^([a-z]+)[-/. ]+(\\d{1,2})(?:st|nd|rd|th)?[ ,]+(\\d{4})$");
    static const QRegularExpression monthYear = pattern("^([a-z]+|\\d{1,2})[-/. ,]+(\\d{4})$");
    static const QRegularExpression isoMonth = pattern("^(\\d{4})-(\\d{1,2})$");

    const QString t = text.trimmed();
    JudgmentDateQuery q;
    auto day = [&q](int y, int m, int d) {
        const QDate date(y, m, d);
        if (!date.isValid())
            return false;
        q.m_kind = date == kNoDate ? Kind::NoDate : Kind::Day;
        q.m_from = date;
        q.m_until = date.addDays(1);
        return true;
    };
    auto month = [&q](int y, int m) {
        const QDate first(y, m, 1);
        if (!first.isValid())
            return false;
        q.m_kind = Kind::Month;
        q.m_from = first;
        q.m_until = first.addMonths(1);
        return true;
    };
    QRegularExpressionMatch m;
    if ((m = dayFirst.match(t)).hasMatch() && monthFrom(m.captured(2)) > 0 &&
        day(m.captured(3).toInt(), monthFrom(m.captured(2)), m.captured(1).toInt()))
        return q;
    if ((m = isoDay.match(t)).hasMatch() && day(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()))
        return q;
    if ((m = monthFirst.match(t)).hasMatch() && monthFromName(m.captured(1)) > 0 &&
        day(m.captured(3).toInt(), monthFromName(m.captured(1)), m.captured(2).toInt()))
        return q;
    if ((m = monthYear.match(t)).hasMatch() && monthFrom(m.captured(1)) > 0 &&
        month(m.captured(2).toInt(), monthFrom(m.captured(1))))
        return q;
    if ((m = isoMonth.match(t)).hasMatch() && month(m.captured(1).toInt(), m.captured(2).toInt()))
        return q;
    return JudgmentDateQuery();
}

QString JudgmentDateQuery::shownForm(const QDate& date)
{
    static const char* const abbreviations[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (!date.isValid())
        return {};
    return QLatin1String(abbreviations[date.month() - 1]) + QLatin1Char('-') +
           QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
}

QDate JudgmentDateQuery::storedDate(const QVariant& stored)
{
    if (stored.isNull())
        return {};
    QDate date;
    if (stored.typeId() == QMetaType::QString)
        // The embedded engine keeps dates as text, with or without a time of day behind them.
        date = QDate::fromString(stored.toString().left(10), Qt::ISODate);
    else
        date = stored.toDate();
    return date == kNoDate ? QDate() : date;
}

bool JudgmentDateQuery::matches(const QVariant& stored, const SearchRequest& request) const
{
    const QDate date = storedDate(stored);
    if (!date.isValid())
        return false;
    switch (m_kind) {
    case Kind::NoDate:
        return false;
    case Kind::Day:
    case Kind::Month:
        return date >= m_from && date < m_until;
    case Kind::Text:
        break;
    }
    return CitationSearch::fieldMatches(shownForm(date), request);
}
