#pragma once

#include "masters/listing_report_data.h"
#include "masters/report_column.h"

#include <QPageLayout>
#include <QPageSize>
#include <QString>

#include <functional>
#include <optional>

class QPagedPaintDevice;
class QPrinter;
class QWidget;

// What the two listing reports share: the preview window, printing and saving as PDF over one page layout.
class ListingReport
{
public:
    // Asks where to save the PDF; an empty answer cancels. Tests put their own in place of the file dialog.
    using SaveFileNameChooser = std::function<QString(QWidget* parent, const QString& caption)>;

    virtual ~ListingReport();

    // The report's name in the system, also the preview window's object name.
    QString name() const { return m_name; }
    QString caption() const { return m_data.caption; }
    const ListingReportData& data() const { return m_data; }

    // The paper for the preview and for renderToPdf; without it the printer's own paper, or A4 for PDF files.
    void setPaper(const QPageSize& size, QPageLayout::Orientation orientation = QPageLayout::Portrait);
    void setSaveFileNameChooser(SaveFileNameChooser chooser);

    // Writes the whole report to a PDF file; on failure the file is left as it was and error says why.
    bool renderToPdf(const QString& path, QString* error) const;
    // Prints on the printer as it is set up; a failure is shown in a message box titled with the caption.
    void print(QPrinter* printer, QWidget* parent = nullptr) const;
    // Sets the report's margins on the device and lays the report out on it; -1 (with error) when it does not fit.
    int pageCount(QPagedPaintDevice* device, QString* error = nullptr) const;

    // The modal preview window, with printing and "Save as PDF". With no rows it says so and opens nothing.
    void preview(QWidget* parent);

    static QString noRecordsMessage();
    static QString paperMessage();

protected:
    ListingReport(const QString& name, const ListingReportData& data, const QList<ReportColumn>& columns);

private:
    bool paintOn(QPagedPaintDevice* device, QString* error) const;
    bool writePdf(const QString& path, const QPageSize& size, QPageLayout::Orientation orientation,
                  QString* error) const;
    void saveAsPdf(const QPrinter* printer, QWidget* parent) const;

    QString m_name;
    ListingReportData m_data;
    QList<ReportColumn> m_columns;
    std::optional<QPageSize> m_paper;
    QPageLayout::Orientation m_orientation = QPageLayout::Portrait;
    SaveFileNameChooser m_chooseFileName;
};
