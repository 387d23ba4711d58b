#pragma once

#include "core/citations/citation_export.h"
#include "core/util/error.h"

#include <QString>

#include <functional>

class DbSession;
class QWidget;

// Save Report of one stored citation, as every screen that offers it does it: the file asked for, an existing file
// replaced only when the user agrees, the citation written in the kind the export reads from the name, and where it
// went told.
class CitationReportSaver
{
public:
    using Format = CitationExport::Format;
    // Writes the stored citation caseId to fileName; the file may be replaced. What is not written says why.
    using ExportHook = std::function<Error(DbSession& session, qint64 caseId, const QString& fileName, Format format)>;

    // Asks and writes; a failed export comes back for the screen to report, and is not announced as stored.
    // Nothing happens, and no error comes back, when the user cancels the dialog or keeps an existing file.
    static Error save(QWidget* owner, DbSession& session, qint64 caseId, const ExportHook& write);
};
