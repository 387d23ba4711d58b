#include "gui/masters/master_screen_hooks.h"

#include "core/masters/master_store.h"
#include "gui/common/hourglass.h"
#include "gui/common/message_box.h"
#include "gui/common/report_preview.h"
#include "report/master_listing_report.h"

Error MasterScreenHooks::showReport(QWidget* owner, const MasterStore& store, Hourglass& busy) const
{
    const Result<ListingReportData> data = store.listing(today);
    if (!data)
        return data.error();
    busy.release();
    if (report) {
        report(*data);
        return {};
    }
    // The preview says so itself when there is nothing to list.
    ReportPreview::exec(owner, MasterListingReport(*data));
    return {};
}

void MasterScreenHooks::showActionError(QWidget* owner, const Error& error)
{
    MessageBox::information(owner, error.description, MessageBox::errorTitle(error.code));
}

void MasterScreenHooks::showError(QWidget* owner, const Error& error)
{
    MessageBox::information(owner, error.description);
}
