#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Walks a report's rows in order: fn gets each row's place (0 upwards, places of vanished rows skipped) and may
// stop the walk by returning false. Gives the reason when the rows could not be read, empty otherwise.
using ListingRowWalker = std::function<QString(const std::function<bool(int index, const QStringList& row)>& fn)>;
