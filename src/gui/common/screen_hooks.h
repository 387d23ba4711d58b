#pragma once

#include "core/citations/citation_export.h"
#include "core/masters/listing_report_data.h"
#include "core/util/error.h"

#include <QString>

#include <functional>

class CHelp;
class DbSession;
class QWidget;

// What the screens hand on to the rest of the program, with the defaults every screen starts with. Tests put
// their own in place to see what would be shown, written or dated.
class ScreenHooks
{
public:
    // Shows the help topic contextId of the help file beside the program.
    using HelpHandler = std::function<void(QWidget* owner, const QString& programDir, int contextId)>;
    // Writes the stored citation caseId to fileName; the file may be replaced. What is not written says why.
    using ExportHook =
        std::function<Error(DbSession& session, qint64 caseId, const QString& fileName, CitationExport::Format format)>;

    // The screen's own help viewer, which closes with it.
    static HelpHandler helpViewer(CHelp& help);
    // Today by the system clock.
    static Clock systemClock();
    // The core export, dated by today as it reads when the file is written.
    static ExportHook coreExport(Clock today);
};
