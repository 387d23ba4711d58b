#include "datagen/bench_sizes.h"

#include <QtGlobal>

#include <algorithm>

QList<int> benchSizes(const QString& defaults)
{
    QList<int> sizes;
    for (const QString& s :
         qEnvironmentVariable("LEXORIUM_BENCH_SIZES", defaults).split(QLatin1Char(','), Qt::SkipEmptyParts))
        sizes << s.trimmed().toInt();
    std::sort(sizes.begin(), sizes.end());
    return sizes;
}
