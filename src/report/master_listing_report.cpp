#include "report/master_listing_report.h"

namespace {
QList<ReportColumn> masterColumns()
{
    // Ids stay narrow; the name takes the rest of the width.
    return {ReportColumn{900, 0}, ReportColumn{2880, 1}};
}
} // namespace

MasterListingReport::MasterListingReport(const ListingReportData& data)
    : ListingReport(QStringLiteral("CS06100101"), data, masterColumns())
{}
