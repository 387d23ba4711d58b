#pragma once

#include <QStringList>

// The fixed word and name lists the generated citations are made of: parties, judges, master lists, reporters,
// and the words of the long texts. None depends on a seed.
class LegalLists
{
public:
    static const QStringList& maleNames();
    static const QStringList& femaleNames();
    static const QStringList& familyNames();
    // "Ch.", "Syed", "Malik" ...: put before a person's name now and then.
    static const QStringList& honorifics();
    // "Habib", "Crescent" ...: the first word of a company's name.
    static const QStringList& companyStems();
    // "Textile Mills", "Sugar Mills" ...: what a company does.
    static const QStringList& companyTrades();
    // "The State", "Federation of Pakistan" ...: public bodies that are a party.
    static const QStringList& publicParties();

    // The master lists, most used first.
    static const QStringList& categories();
    static const QStringList& courts();
    static const QStringList& acts();
    // Articles of the Constitution that petitions name most.
    static const QStringList& constitutionArticles();

    // The words of the long texts, most frequent first; the opening phrases of sentences; rare terms of art.
    static const QStringList& commonWords();
    static const QStringList& openingPhrases();
    static const QStringList& rareTerms();
    // Syllables of made-up village and family names, the rarest words of the texts.
    static const QStringList& nameSyllables();
    static const QStringList& placeSuffixes();
};
