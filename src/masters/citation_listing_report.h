#pragma once

#include "masters/listing_report.h"

// The citation listing report: citation, judgment, case and the month and year of judgment, already formatted.
class CS06100201 : public ListingReport
{
public:
    explicit CS06100201(const ListingReportData& data);
};
