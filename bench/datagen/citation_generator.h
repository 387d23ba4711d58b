#pragma once

#include "core/citations/citation.h"
#include "datagen/random_source.h"

#include <QStringList>

class Vocabulary;

// Makes realistic citations, always the same ones for the same seed: court-style case titles and law-report
// citations, judgment dates over seven decades, one to three categories, courts and Acts (with sections) from
// master lists of realistic size, one to seven judges, and six long texts of legal prose whose words follow the
// frequencies of real text.
//
//     CitationGenerator gen(42);
//     Citation c = gen.next();   // links name master rows by id: 1 is the first entry of each list
class CitationGenerator
{
public:
    static constexpr int kFirstYear = 1950;
    static constexpr int kLastYear = 2023;
    static constexpr int kMinTextLength = 200;

    explicit CitationGenerator(quint64 seed);

    // The next citation, with no case id and no row ids yet. Its case title and texts carry no blanks at either
    // end, so the store keeps them exactly as made.
    Citation next();
    int produced() const { return m_produced; }
    // How many vocabulary words the texts of the last citation drew.
    int lastDraws() const { return m_lastDraws; }

    // The master lists, the same for every seed (about 60 categories, 40 courts, 300 Acts, most used first).
    static const QStringList& categories();
    static const QStringList& courts();
    static const QStringList& acts();
    static const Vocabulary& vocabulary();

    // The expected share of generated citations whose texts contain the word of that rank at least once.
    static double shareOfCitations(int rank);
    // A word expected in about that share of generated citations (for instance 0.9, 0.05 and 0.0005 for a
    // common, a medium and a rare word); never a word of the fixed phrases, whose frequency the ranks do not tell.
    static QString wordInShareOfCitations(double share);

    // The 22 characters the citation box refuses as they are typed.
    static bool isRefusedInCitation(QChar c);

private:
    QString person();
    QString party(bool publicBody);
    QString caseTitle(bool criminal);
    QString citationText(int year, int court);
    QString section(int act);
    QString sentence(bool first);
    QString longText(int minLength, int maxLength, double skew, bool paragraphs);
    QList<CitationLink> links(const QStringList& master, int count, double exponent);
    QStringList bench(int year, int court);

    RandomSource m_random;
    int m_produced = 0;
    int m_draws = 0;
    int m_lastDraws = 0;
};
