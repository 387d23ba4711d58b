#include "gui/transfer/transfer_actions.h"

#include "core/transfer/transfer_format.h"
#include "gui/common/file_dialog.h"
#include "gui/common/message_box.h"
#include "gui/transfer/export_dialog.h"
#include "gui/transfer/import_dialog.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {
// The user's documents, or their home folder where there is no such folder.
QString startFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}
} // namespace

QString TransferActions::importFilter()
{
    return QStringLiteral("Citation files (*.csv *.xlsx *.json);;CSV files (*.csv);;Excel workbooks (*.xlsx);;"
                          "CSL-JSON files (*.json)");
}

QString TransferActions::exportFilter()
{
    return QStringLiteral("CSV files (*.csv);;Excel workbooks (*.xlsx);;CSL-JSON files (*.json)");
}

QString TransferActions::withEnding(const QString& chosen, const QString& selectedFilter)
{
    if (chosen.isEmpty() || transferFormatOf(chosen))
        return chosen;
    const QRegularExpressionMatch ending = QRegularExpression(QStringLiteral("\\*(\\.[a-z]+)")).match(selectedFilter);
    return chosen + (ending.hasMatch() ? ending.captured(1) : QStringLiteral(".csv"));
}

void TransferActions::importCitations(QWidget* parent, const DbContext& ctx)
{
    const QString chosen =
        FileDialog::getOpenFileName(parent, QStringLiteral("Import Citations"), startFolder(), importFilter());
    if (chosen.isEmpty())
        return;
    ImportDialog dialog(ctx, chosen, parent);
    dialog.exec();
}

void TransferActions::exportCitations(QWidget* parent, const DbContext& ctx, const QList<qint64>& caseIds)
{
    QString selected;
    // The program asks before replacing, since the name it writes may have gained its ending.
    const QString chosen = withEnding(
        FileDialog::getSaveFileName(parent,
                                    caseIds.isEmpty() ? QStringLiteral("Export All Citations")
                                                      : QStringLiteral("Export the Citations Found"),
                                    startFolder(), exportFilter(), &selected, FileDialog::ReplaceQuestion::ByProgram),
        selected);
    if (chosen.isEmpty())
        return;
    if (QFileInfo::exists(chosen) &&
        MessageBox::question(
            parent,
            QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(QDir::toNativeSeparators(chosen)),
            MessageBox::Answer::No) != MessageBox::Answer::Yes)
        return;
    ExportDialog dialog(ctx, chosen, caseIds, parent);
    dialog.start();
    dialog.exec();
}
