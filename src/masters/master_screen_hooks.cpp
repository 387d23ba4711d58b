#include "master_screen_hooks.h"

#include "master_listing_report.h"
#include "master_store.h"
#include "shell/app_info.h"
#include "shell/hourglass.h"
#include "shell/message_box.h"

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
    CS06100101 listing(buildMasterListingData(store.table().kind, rows, QDate::currentDate()));
    listing.preview(owner);
    return {};
}

void MasterScreenHooks::showActionError(QWidget* owner, const DbError& error)
{
    MessageBox::information(owner, error.description, applicationTitle() + QStringLiteral(" - ") + error.code);
}

void MasterScreenHooks::showError(QWidget* owner, const DbError& error)
{
    MessageBox::information(owner, error.description);
}
