#pragma once

#include "core/db/db_context.h"

#include <QList>
#include <QString>

class QWidget;

// The menu's ways in and out: each asks for the file, then runs its dialog over parent.
namespace TransferActions {
// The file kinds the import reads and the export writes, for the file dialogs.
QString importFilter();
QString exportFilter();
// The chosen name with the ending of the chosen kind when it has none of the three.
QString withEnding(const QString& chosen, const QString& selectedFilter);

void importCitations(QWidget* parent, const DbContext& ctx);
// Every citation when caseIds is empty.
void exportCitations(QWidget* parent, const DbContext& ctx, const QList<qint64>& caseIds = {});
} // namespace TransferActions
