#pragma once

class ListingReport;
class QWidget;

// The modal preview of a listing report, with printing and "Save as PDF". With no rows it says so and opens
// nothing; a paper too small is reported under the report's caption.
class ReportPreview
{
public:
    static void exec(QWidget* parent, const ListingReport& report);
};
