#pragma once

#include "report/listing_report.h"

// The citation listing report: citation, judgment, case and the month and year of judgment, already formatted.
class CitationListingReport : public ListingReport
{
public:
    explicit CitationListingReport(const ListingReportData& data);
    // A listing too long to hold: rowCount rows read by the walker whenever the report is laid out or painted.
    CitationListingReport(const ListingReportData& header, int rowCount, ListingRowWalker rows);
};
