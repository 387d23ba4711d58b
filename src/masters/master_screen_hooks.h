#pragma once

#include "db/db_error.h"
#include "master_kind.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class Hourglass;
class MasterStore;
class QWidget;

// What the master screens hand on to the rest of the program: the help topic of the screen and the printed
// listing. Whoever opens a screen may replace either; the defaults need nothing from outside this folder.
struct MasterScreenHooks {
    using HelpHandler = std::function<void(QWidget* owner, const QString& programDir, int contextId)>;
    using ReportHandler = std::function<void(MasterKind kind, QList<QStringList> rows)>;

    // Default: says so when the help file is missing; with the file present it opens nothing by itself.
    HelpHandler help = &MasterScreenHooks::defaultHelp;
    // Default: none, so a non-empty listing goes nowhere.
    ReportHandler report;

    static QString helpFile(const QString& programDir);
    static void defaultHelp(QWidget* owner, const QString& programDir, int contextId);

    // The Print button: "No records are found." for an empty list, otherwise the rows go to the report with the
    // default pointer back.
    DbError showReport(QWidget* owner, const MasterStore& store, Hourglass& busy) const;

    // A failure inside a button action, titled with the error's number.
    static void showActionError(QWidget* owner, const DbError& error);
    // A failure outside one (opening the screen, picking an id).
    static void showError(QWidget* owner, const DbError& error);
};
