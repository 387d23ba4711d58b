#pragma once

#include "core/masters/listing_report_data.h"
#include "core/util/error.h"
#include "gui/common/screen_hooks.h"

#include <QString>

#include <functional>

class Hourglass;
class MasterStore;
class QWidget;

// What the master screens hand on to the rest of the program: the help topic of the screen, the printed listing
// and today's date for it. Tests replace any of them to see what would be shown.
struct MasterScreenHooks {
    using HelpHandler = ScreenHooks::HelpHandler;
    using ReportHandler = std::function<void(const ListingReportData& data)>;

    // Set by the screen to its own help viewer.
    HelpHandler help;
    // When unset, the listing report is previewed.
    ReportHandler report;
    // Set by the screen to the system clock.
    Clock today;

    // The Print button: the listing built by the store goes to the report with the default pointer back.
    Error showReport(QWidget* owner, const MasterStore& store, Hourglass& busy) const;

    // A failure inside a button action, titled with the error's number when it has one.
    static void showActionError(QWidget* owner, const Error& error);
    // A failure outside one (opening the screen, picking an id).
    static void showError(QWidget* owner, const Error& error);
};
