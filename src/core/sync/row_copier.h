#pragma once

#include "core/util/error.h"

#include <QString>
#include <QVariant>

class DbSession;
struct TableDef;

// Moves rows between two databases, which may be on different engines, a page at a time: each page is one read
// on the source and one or a few INSERT statements of many rows on the target, so that neither memory nor round
// trips grow with the row count.
class RowCopier
{
public:
    // Rows read per page.
    static constexpr int kPageRows = 1000;

    // The select reads from the source. It must take one bound value, the page key to start after, and give the
    // page key as its first column followed by the values of `into`'s columns in order, for example
    //   "SELECT id, id, act FROM act_master WHERE id > ? ORDER BY id LIMIT 1000".
    // The page key must be unique and increasing in that order. A date column of `into` is brought to a date
    // whatever the source engine made of it. Counts the rows copied into `copied` when given.
    // `after` is the page key to start after; by default below every key.
    static Error copy(DbSession& from, const QString& select, DbSession& to, const TableDef& into,
                      qint64* copied = nullptr, const QVariant& after = QVariant());

    // Writes rows already in memory into every column of `into` (each row its columns' values, one row after
    // another), in as few statements as the engine takes well.
    static Error insert(DbSession& to, const TableDef& into, const QVariantList& values);

    // A date from whatever an engine returns for a date column: a date, a date and time, or ISO text.
    static QVariant toDate(const QVariant& value);
};
