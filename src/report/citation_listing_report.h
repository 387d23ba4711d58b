#pragma once

#include "report/listing_report.h"

// The citation listing report: citation, judgment, case and the month and year of judgment, already formatted.
class CitationListingReport : public ListingReport
{
public:
    explicit CitationListingReport(const ListingReportData& data);
};
