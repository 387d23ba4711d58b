#include "gui/citations/citation_report_saver.h"

#include "gui/common/file_dialog.h"
#include "gui/common/hourglass.h"
#include "gui/common/message_box.h"

#include <QDir>
#include <QFileInfo>

Error CitationReportSaver::save(QWidget* owner, DbSession& session, qint64 caseId, const ExportHook& write)
{
    QString filter;
    // The question about an existing file is asked here, about the name with its suffix, not by the dialog too.
    QString fileName =
        FileDialog::getSaveFileName(owner, QStringLiteral("Save Report"), QString(), CitationExport::dialogFilter(),
                                    &filter, FileDialog::ReplaceQuestion::ByProgram);
    if (fileName.isEmpty())
        return {};
    fileName = CitationExport::withEnding(fileName, filter);
    if (QFileInfo::exists(fileName) &&
        MessageBox::question(owner, QStringLiteral("The file already exits, do you want to replace it?"),
                             MessageBox::Answer::No) != MessageBox::Answer::Yes)
        return {};
    Hourglass busy;
    // The export finishes its file beside the old one and only then replaces it, so nothing is deleted first.
    const Error error = write(session, caseId, fileName, CitationExport::formatFor(fileName, filter));
    busy.release();
    if (error)
        return error;
    MessageBox::information(owner,
                            QStringLiteral("The report has been stored in ") + QDir::toNativeSeparators(fileName));
    return {};
}
