#include "masters/master_listing_report.h"

namespace {
QList<ReportColumn> masterColumns()
{
    // Ids stay narrow; the name takes the rest of the width.
    return {ReportColumn{900, 0}, ReportColumn{2880, 1}};
}
} // namespace

CS06100101::CS06100101(const ListingReportData& data)
    : ListingReport(QStringLiteral("CS06100101"), data, masterColumns())
{}
