#pragma once

#include "core/util/error.h"
#include "core/util/result.h"

class DbSession;
struct SearchIndexDef;

// Pieces of a database as earlier schema versions made them, for the tests of upgrades. Like the dialects they
// are written per engine, which is why they live in the db part of the test support.
class EarlierSchema
{
public:
    // Makes the server's trigram index of one text again as schema version 3 made it: the replacements alone, on
    // every text. The embedded engine's index is the same in both versions, so there it changes nothing.
    static Error makeVersionThreeSearchIndex(DbSession& session, const SearchIndexDef& index);
    // Makes the server's index of one long text again as schema version 4 made it (looking for the spelled
    // letters in every text), and stores its texts again compressed, as the server does by default. Changes
    // nothing on the embedded engine.
    static Error makeVersionFourTextStorage(DbSession& session, const SearchIndexDef& index);
    // Whether any text of the index's column is stored compressed; never on the embedded engine.
    static Result<bool> holdsCompressedTexts(DbSession& session, const SearchIndexDef& index);
};
