#pragma once

#include "core/util/result.h"

#include <QList>
#include <QString>

#include <functional>

class CancelToken;
class DbSession;

struct ImportOptions {
    // Checks the whole file and says what would be refused, writing nothing.
    bool dryRun = false;
    // Stores a row even when a citation of the same text and month and year of judgment is there.
    bool allowDuplicates = false;
};

// A row that was not stored, and why. place: the line (CSV), row (.xlsx) or item (CSL-JSON) it began on.
struct ImportRefusal {
    qint64 place = 0;
    QString reason;
};

struct ImportSummary {
    qint64 read = 0, stored = 0, duplicates = 0, refused = 0, leftOut = 0; // leftOut: CSL items not legal_case
    QList<ImportRefusal> refusals; // the refused rows (and the duplicates and left-out items, each said so)
    bool cancelled = false;        // rows stored before the cancel stay
    bool dryRun = false;
    QString placeName = QStringLiteral("Line"); // what a place is: "Line", "Row" or "Item"
};

// Reads a file of citations (CSV, .xlsx or CSL-JSON, by its ending) and stores each row through the citation
// store's add, one transaction a row. The file is read as a stream, a row at a time.
class CitationImport
{
public:
    // Called on the worker's thread after each row, and at the end; percent of the file read, 0-100.
    using Progress = std::function<void(const ImportSummary& soFar, int percent)>;
    // A file that cannot be read at all (missing, not the format, an unknown column) is an Error and nothing is
    // stored; row problems are in the summary.
    static Result<ImportSummary> run(DbSession& session, const QString& fileName, const ImportOptions& options,
                                     CancelToken* cancel = nullptr, const Progress& progress = {});
    // "Read 120 rows: 110 stored, 6 skipped as duplicates, 4 refused." style text (also used by the CLI).
    static QString summaryText(const ImportSummary& summary);
    // The refused rows, one per line ("Line 12: the Issue is 8,120 characters long; at most 7,900 are kept.").
    static QString refusalsText(const ImportSummary& summary);
};
