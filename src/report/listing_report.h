#pragma once

#include "core/masters/listing_report_data.h"
#include "report/listing_row_walker.h"
#include "report/report_column.h"
#include "report/report_layout.h"

#include <QPageLayout>
#include <QPageSize>
#include <QString>

#include <memory>
#include <optional>

class QPagedPaintDevice;
class QPrinter;

// What the two listing reports share: printing and saving as PDF over one page layout. It shows nothing and
// reports failures to its caller.
class ListingReport
{
public:
    virtual ~ListingReport();

    // The report's name in the system, also the preview window's object name.
    QString name() const { return m_name; }
    QString caption() const { return m_data.caption; }
    const ListingReportData& data() const { return m_data; }
    // How many rows the report lists: the data's own, or those its walker was made for.
    int rowCount() const { return m_rowCount; }

    // The paper for the preview and for renderToPdf; without it the printer's own paper, or A4 for PDF files.
    void setPaper(const QPageSize& size, QPageLayout::Orientation orientation = QPageLayout::Portrait);
    const std::optional<QPageSize>& paper() const { return m_paper; }
    QPageLayout::Orientation orientation() const { return m_orientation; }

    // Writes the whole report to a PDF file; on failure the file is left as it was. A file that cannot be written
    // is Io.
    Error renderToPdf(const QString& path) const;
    Error writePdf(const QString& path, const QPageSize& size, QPageLayout::Orientation orientation) const;
    // Prints on the printer as it is set up.
    Error print(QPrinter* printer) const;
    // Sets the report's margins on the device and lays the report out on it; an error when it does not fit.
    Result<int> pageCount(QPagedPaintDevice* device) const;
    // Sets the report's margins on the device and lays the report out on it, to be painted a page at a time; the
    // device must outlive the layout. An error when it does not fit or the rows cannot be read, or Cancelled (with
    // no text) when progress stopped it.
    Result<std::unique_ptr<ReportLayout>> layOut(QPagedPaintDevice* device,
                                                 const ReportLayout::Progress& progress = {}) const;
    // The same, only begun: the caller lays the rows out a part at a time (ReportLayout::layOutMore).
    Result<std::unique_ptr<ReportLayout>> beginLayOut(QPagedPaintDevice* device) const;
    // The report's rows: its own data's, or those of the walker it was made with.
    ListingRowWalker rowWalker() const;

    static QString noRecordsMessage();
    static QString paperMessage();

protected:
    ListingReport(const QString& name, const ListingReportData& data, const QList<ReportColumn>& columns);
    // A report too long to hold: its rows are read by the walker whenever the report is laid out or painted, and
    // only a page's worth is held at a time. The data gives caption, title, headings and date.
    ListingReport(const QString& name, const ListingReportData& data, const QList<ReportColumn>& columns, int rowCount,
                  ListingRowWalker rows);

private:
    Error paintOn(QPagedPaintDevice* device) const;

    QString m_name;
    ListingReportData m_data;
    QList<ReportColumn> m_columns;
    int m_rowCount = 0;
    ListingRowWalker m_rows;
    std::optional<QPageSize> m_paper;
    QPageLayout::Orientation m_orientation = QPageLayout::Portrait;
};
