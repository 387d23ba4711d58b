#pragma once

#include "core/citations/citation.h"
#include "core/util/error.h"

#include <QString>

// What a citation must be to be stored, said once for every screen and writer.
class CitationRules
{
public:
    // The punctuation a citation may not be typed with: ! " # $ % & * + , - / : ; = ? @ \ ^ _ ` | ~. Only what is
    // typed is refused; a stored citation holding one of them (written by a merge or another tool) is kept.
    static const QString& refusedInCitation();
    static bool isRefusedInCitation(QChar c);

    // What must be filled in before a screen asks whether to store the record: the citation. Nothing when it is.
    static Error requiredError(const Citation& citation);
    // Why the record cannot be stored as it is, the first rule it breaks: a field longer than its column, more
    // than 21 bench names, a date of judgment that the engines cannot hold. The store checks it on every write,
    // before anything is written; nothing when it can be stored.
    static Error limitsError(const Citation& citation);

    // The record as a new citation is stored: the case title and the long texts without leading and trailing
    // blanks.
    static Citation asAdded(const Citation& citation);
    // Without leading and trailing blanks, while line breaks at either end are part of the text.
    static QString trimBlanks(const QString& text);
    // The length of a text as both engines count it, in characters: one outside the basic plane, which a QString
    // holds as two units, is one.
    static qsizetype characterCount(const QString& text);
    // Whether a link row is a placeholder that is never stored.
    static bool isPlaceholder(const CitationLink& link);

    static QString emptyCitationMessage();
};
