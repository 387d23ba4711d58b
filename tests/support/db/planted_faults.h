#pragma once

#include "core/util/error.h"

#include <QString>

class DbSession;
struct SearchIndexDef;

// Damage written straight into a database, past the program's own rules, for the tests of its check. Each engine
// is damaged its own way, which is why these live in the db part of the test support.
class PlantedFaults
{
public:
    // The search index loses what it holds of one row (the row keeps its text), so the search cannot find it.
    static Error dropSearchEntry(DbSession& session, const SearchIndexDef& index, qint64 key);
    // Writes a row that names a row of another table that is not there, past the engine's foreign key.
    static Error insertBrokenLink(DbSession& session, const QString& insertStatement, const QString& table,
                                  const QString& column);
};
