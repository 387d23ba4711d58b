#pragma once

#include "core/util/result.h"

#include <QList>
#include <QString>

#include <functional>

class CancelToken;
class DbSession;

// Writes citations to a CSV, .xlsx or CSL-JSON file in exactly the form the import reads back.
class CitationTransferExport
{
public:
    using Progress = std::function<void(qint64 written, qint64 total)>; // worker's thread
    // Writes the citations with these ids (every citation, in case id order, when empty) to fileName in the
    // format its ending names, atomically; on a cancel (Error kind Cancelled) or failure no file is left.
    // Returns how many were written.
    static Result<qint64> write(DbSession& session, const QString& fileName, const QList<qint64>& caseIds = {},
                                CancelToken* cancel = nullptr, const Progress& progress = {});
};
