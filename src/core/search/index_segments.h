#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>

// Which parts of a search text the trigram index may be asked for without losing a citation that the exact
// test would find.
//
// The exact test compares capitals (QString::toUpper); the index folds letters one by one. The two agree on
// ASCII and on characters without letter case, except where the capital of some other character produces the
// same thing: "SS" from a sharp s, "I" from a dotless i, combining marks from a few precomposed letters. The
// index spells those letters out (SqlDialect::searchSpellings), so only runs of ASCII and caseless characters
// that no other character's capital produces are asked for. Anything else in the search text is left to the
// exact test; a text without such a run of three is searched by reading the rows.
class IndexSegments
{
public:
    static constexpr int kMinLength = 3;
    static constexpr int kMaxSegments = 4;

    // The longest such runs of at least three characters, longest first; empty when there is none.
    static QStringList of(const QString& text);
    // The same, also taking the letters beyond ASCII with a simple capital (see sameInCapitals) that `foldsAlike`
    // accepts: the engine's index folds them as the program's capitals do.
    static QStringList of(const QString& text, const std::function<bool(QChar)>& foldsAlike);
    static bool isSafe(QChar c);
    // For a letter beyond ASCII whose capital is one character that no longer capital of another character holds:
    // every character with that capital, the letter first (é: "éÉ"; Σ: "Σςσ"). The exact test takes them all for
    // the letter, so the index may be asked for it where it folds them all alike. Empty for any other character.
    static QString sameInCapitals(QChar c);
    // What Qt's capitals need the index to spell out: each letter beyond ASCII whose capital holds an ASCII
    // letter, with that capital in small letters.
    static QList<QPair<QChar, QString>> spellingsNeeded();
    // Whether the index spells out exactly those.
    static bool spellingsAgree();
};
