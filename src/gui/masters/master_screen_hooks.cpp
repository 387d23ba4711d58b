#include "gui/masters/master_screen_hooks.h"

#include "gui/common/report_preview.h"
#include "report/master_listing_report.h"
#include "core/masters/master_store.h"
#include "gui/common/hourglass.h"
#include "gui/common/message_box.h"

#include <QDate>

DbError MasterScreenHooks::showReport(QWidget* owner, const MasterStore& store, Hourglass& busy) const
{
    DbError error;
    const QList<QStringList> rows = store.listingRows(&error);
    if (error)
        return error;
    busy.release();
    if (rows.isEmpty()) {
        MessageBox::information(owner, QStringLiteral("No records are found."));
        return {};
    }
    if (report) {
        report(store.table().kind, rows);
        return {};
    }
    const MasterListingReport listing(buildMasterListingData(store.table().kind, rows, QDate::currentDate()));
    ReportPreview::exec(owner, listing);
    return {};
}

void MasterScreenHooks::showActionError(QWidget* owner, const DbError& error)
{
    MessageBox::information(owner, error.description, MessageBox::errorTitle(error.code));
}

void MasterScreenHooks::showError(QWidget* owner, const DbError& error)
{
    MessageBox::information(owner, error.description);
}
