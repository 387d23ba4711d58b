#pragma once

#include "core/util/error.h"

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
};
