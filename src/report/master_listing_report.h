#pragma once

#include "report/listing_report.h"

// The master listing report: Id and the master's name, one row per master row.
class MasterListingReport : public ListingReport
{
public:
    explicit MasterListingReport(const ListingReportData& data);
};
