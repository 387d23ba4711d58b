#pragma once

#include "core/citations/citation.h"
#include "core/util/result.h"

#include <QList>

#include <functional>

class CitationGenerator;
class DbSession;

// Fills a database with generated citations for benchmarks and tests.
class CitationFiller
{
public:
    // Bulk writes many rows per statement; Store calls CitationStore::add for each citation. Both leave the same
    // rows under the same keys.
    enum class Path { Bulk, Store };
    using Progress = std::function<void(int done)>;

    // Writes the generator's master lists into empty master tables, ids 1, 2, 3 ... in list order. Master tables
    // that hold exactly these lists already are left alone; any other content is refused.
    static Error writeMasters(DbSession& session);

    // Stores the citations in order exactly as CitationStore::add would one after another (the same keys, the same
    // rows), in one transaction and with many rows to a statement. Gives back the case ids.
    static Result<QList<qint64>> storeAll(DbSession& session, const QList<Citation>& citations);

    // Adds n citations from the generator, `batch` of them to a transaction; progress is told after each batch.
    // On the embedded engine the bulk path sets the search index's triggers aside while it writes and rebuilds
    // the index once at the end, leaving the triggers as they were.
    static Error fill(DbSession& session, CitationGenerator& generator, int n, Path path = Path::Bulk, int batch = 500,
                      const Progress& progress = {});

private:
    static Error fillBatches(DbSession& session, CitationGenerator& generator, int n, Path path, int batch,
                             const Progress& progress);
};
