#pragma once

#include "core/db/db_error.h"
#include "core/masters/master_kind.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class Hourglass;
class MasterStore;
class QWidget;

// What the master screens hand on to the rest of the program: the help topic of the screen and the printed
// listing. Tests replace either to see what would be shown.
struct MasterScreenHooks {
    using HelpHandler = std::function<void(QWidget* owner, const QString& programDir, int contextId)>;
    using ReportHandler = std::function<void(MasterKind kind, QList<QStringList> rows)>;

    // Set by the screen to its own help viewer.
    HelpHandler help;
    // When unset, the listing report is previewed.
    ReportHandler report;

    // The Print button: "No records are found." for an empty list, otherwise the rows go to the report with the
    // default pointer back.
    DbError showReport(QWidget* owner, const MasterStore& store, Hourglass& busy) const;

    // A failure inside a button action, titled with the error's number.
    static void showActionError(QWidget* owner, const DbError& error);
    // A failure outside one (opening the screen, picking an id).
    static void showError(QWidget* owner, const DbError& error);
};
