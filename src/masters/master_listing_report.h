#pragma once

#include "masters/listing_report.h"

// The master listing report: Id and the master's name, one row per master row.
class CS06100101 : public ListingReport
{
public:
    explicit CS06100101(const ListingReportData& data);
};
