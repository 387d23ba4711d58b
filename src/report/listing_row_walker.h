#pragma once

#include "core/util/error.h"

#include <QString>
#include <QStringList>

#include <functional>

// Walks a report's rows in order, starting at the row whose place is `from` (0 for all of them; past the end for
// none): fn gets each row's place (places of vanished rows skipped) and may stop the walk by returning false. Gives
// an error when the rows could not be read. Starting part-way lets one page be painted without reading the rows
// before it.
using ListingRowWalker =
    std::function<Error(int from, const std::function<bool(int index, const QStringList& row)>& fn)>;
