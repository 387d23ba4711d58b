#include "report/citation_listing_report.h"

namespace {
QList<ReportColumn> citationColumns()
{
    // The judgment text is the longest, the date ("Dec-2026") never needs more than its minimum.
    return {ReportColumn{1440, 3}, ReportColumn{1800, 5}, ReportColumn{1440, 4}, ReportColumn{1300, 0}};
}
} // namespace

CitationListingReport::CitationListingReport(const ListingReportData& data)
    : ListingReport(QStringLiteral("CS06100201"), data, citationColumns())
{}

CitationListingReport::CitationListingReport(const ListingReportData& header, int rowCount, ListingRowWalker rows)
    : ListingReport(QStringLiteral("CS06100201"), header, citationColumns(), rowCount, std::move(rows))
{}
