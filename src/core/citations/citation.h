#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>

// One link of a citation to a master row: a category, a court, or an Act with its section.
struct CitationLink {
    qint64 masterId = 0;
    QString name;
    QString section; // Acts only

    bool operator==(const CitationLink& o) const
    {
        return masterId == o.masterId && name == o.name && section == o.section;
    }
};

// A reported case as it is entered and stored: one case_master row, its six long texts, its links to the
// three master lists and its bench.
struct Citation {
    enum Text { Judgment, NatureOfCase, FactSummary, Issue, RuleOfLaw, Remarks };
    static constexpr int kTextCount = 6;
    static constexpr int kBenchRows = 21;

    qint64 caseId = 0;
    QString citation;
    QString caseTitle;
    QDate judgmentDate;
    std::array<QString, kTextCount> texts;
    // The key of each text's row in its own table, known after a load; 0 when unknown.
    std::array<qint64, kTextCount> textIds{};
    QList<CitationLink> categories;
    QList<CitationLink> courts;
    QList<CitationLink> acts;
    // The bench rows as entered, at most 21; an empty name is a free row.
    QStringList bench;

    const QString& text(Text t) const { return texts[t]; }
    QString& text(Text t) { return texts[t]; }
};
