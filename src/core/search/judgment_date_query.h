#pragma once

#include <QDate>
#include <QString>
#include <QVariant>

struct SearchRequest;

// What a search text means for the date of judgment: a day, a month of a year, the stand-in for "no date", or
// plain text to be found in the date as it is shown ("Mar-2004").
class JudgmentDateQuery
{
public:
    enum class Kind { Text, Day, Month, NoDate };

    static JudgmentDateQuery parse(const QString& text);
    // The date as the citation screens show it, in English whatever the machine's language.
    static QString shownForm(const QDate& date);
    // A stored value as a date; invalid for none, and for the stand-in 01/01/9999.
    static QDate storedDate(const QVariant& stored);

    Kind kind() const { return m_kind; }
    // The first day of the day or month named, and the day after its last; invalid for Text and NoDate.
    QDate from() const { return m_from; }
    QDate until() const { return m_until; }

    bool matches(const QVariant& stored, const SearchRequest& request) const;

private:
    Kind m_kind = Kind::Text;
    QDate m_from;
    QDate m_until;
};
