#include "gui/common/screen_hooks.h"

#include "gui/common/help_access.h"

#include <QDate>

ScreenHooks::HelpHandler ScreenHooks::helpViewer(CHelp& help)
{
    return [&help](QWidget* owner, const QString& programDir, int contextId) {
        HelpAccess(help).showScreenHelp(owner, programDir, contextId);
    };
}

Clock ScreenHooks::systemClock()
{
    return [] {
        return QDate::currentDate();
    };
}

ScreenHooks::ExportHook ScreenHooks::coreExport(Clock today)
{
    return [today = std::move(today)](DbSession& session, qint64 caseId, const QString& fileName,
                                      CitationExport::Format format) {
        return CitationExport::write(session, format, caseId, fileName, today());
    };
}
