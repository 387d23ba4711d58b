#include "report/listing_report.h"

#include "report/report_layout.h"

#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>

#include <algorithm>

ListingReport::ListingReport(const QString& name, const ListingReportData& data, const QList<ReportColumn>& columns)
    : m_name(name)
    , m_data(data)
    , m_columns(columns)
    , m_rowCount(int(data.rows.size()))
{}

ListingReport::ListingReport(const QString& name, const ListingReportData& data, const QList<ReportColumn>& columns,
                             int rowCount, ListingRowWalker rows)
    : m_name(name)
    , m_data(data)
    , m_columns(columns)
    , m_rowCount(rowCount)
    , m_rows(std::move(rows))
{}

ListingReport::~ListingReport() = default;

ListingRowWalker ListingReport::rowWalker() const
{
    if (m_rows)
        return m_rows;
    const QList<QStringList> rows = m_data.rows;
    return [rows](int from, const std::function<bool(int, const QStringList&)>& fn) {
        for (int i = std::max(from, 0); i < rows.size(); ++i)
            if (!fn(i, rows[i]))
                break;
        return QString();
    };
}

QString ListingReport::noRecordsMessage()
{
    return QStringLiteral("No records are found.");
}

QString ListingReport::paperMessage()
{
    return QStringLiteral("Please Check your Printer paper settings.");
}

void ListingReport::setPaper(const QPageSize& size, QPageLayout::Orientation orientation)
{
    m_paper = size;
    m_orientation = orientation;
}

int ListingReport::pageCount(QPagedPaintDevice* device, QString* error) const
{
    const std::unique_ptr<ReportLayout> layout = layOut(device, error);
    return layout ? layout->pageCount() : -1;
}

std::unique_ptr<ReportLayout> ListingReport::layOut(QPagedPaintDevice* device, QString* error,
                                                    const ReportLayout::Progress& progress) const
{
    ReportLayout::applyMargins(device);
    auto layout = std::make_unique<ReportLayout>(m_data, m_columns, rowWalker());
    if (!layout->layOut(device, progress)) {
        if (error)
            *error = layout->cancelled() ? QString() : layout->error().isEmpty() ? paperMessage() : layout->error();
        return nullptr;
    }
    return layout;
}

bool ListingReport::paintOn(QPagedPaintDevice* device, QString* error) const
{
    ReportLayout::applyMargins(device);
    ReportLayout layout(m_data, m_columns, rowWalker());
    // Lay out before painting starts, so a paper that is too narrow produces no half-made output.
    if (!layout.layOut(device)) {
        *error = layout.error().isEmpty() ? paperMessage() : layout.error();
        return false;
    }
    QPainter painter;
    if (!painter.begin(device)) {
        *error = QStringLiteral("The report could not be started on the printer.");
        return false;
    }
    const bool painted = layout.paint(&painter, device);
    painter.end();
    if (!painted)
        *error = layout.error();
    return painted;
}

bool ListingReport::renderToPdf(const QString& path, QString* error) const
{
    return writePdf(path, m_paper.value_or(QPageSize(QPageSize::A4)), m_orientation, error);
}

bool ListingReport::writePdf(const QString& path, const QPageSize& size, QPageLayout::Orientation orientation,
                             QString* error) const
{
    QString reason;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setTitle(m_data.caption);
        writer.setCreator(QStringLiteral("Lexorium"));
        writer.setPageSize(size);
        writer.setPageOrientation(orientation);
        if (!paintOn(&writer, &reason)) {
            file.cancelWriting();
            if (error)
                *error = reason;
            return false;
        }
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool ListingReport::print(QPrinter* printer, QString* error) const
{
    return paintOn(printer, error);
}
