#pragma once

#include <QList>
#include <QString>

// The numbers of citations a benchmark runs at: LEXORIUM_BENCH_SIZES (for instance "5000,50000"), or the
// benchmark's own defaults, smallest first.
QList<int> benchSizes(const QString& defaults);
