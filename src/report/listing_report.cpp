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
        return Error();
    };
}

QString ListingReport::noRecordsMessage()
{
    return QStringLiteral("No records are found.");
}

QString ListingReport::paperMessage()
{
    return ReportLayout::paperMessage();
}

void ListingReport::setPaper(const QPageSize& size, QPageLayout::Orientation orientation)
{
    m_paper = size;
    m_orientation = orientation;
}

Result<int> ListingReport::pageCount(QPagedPaintDevice* device) const
{
    const Result<std::unique_ptr<ReportLayout>> layout = layOut(device);
    if (!layout)
        return layout.error();
    return (*layout)->pageCount();
}

Result<std::unique_ptr<ReportLayout>> ListingReport::layOut(QPagedPaintDevice* device,
                                                            const ReportLayout::Progress& progress) const
{
    ReportLayout::applyMargins(device);
    auto layout = std::make_unique<ReportLayout>(m_data, m_columns, rowWalker());
    if (Error error = layout->layOut(device, progress))
        return error;
    return Result<std::unique_ptr<ReportLayout>>(std::move(layout));
}

Result<std::unique_ptr<ReportLayout>> ListingReport::beginLayOut(QPagedPaintDevice* device) const
{
    ReportLayout::applyMargins(device);
    auto layout = std::make_unique<ReportLayout>(m_data, m_columns, rowWalker());
    if (Error error = layout->begin(device))
        return error;
    return Result<std::unique_ptr<ReportLayout>>(std::move(layout));
}

Error ListingReport::paintOn(QPagedPaintDevice* device) const
{
    ReportLayout::applyMargins(device);
    ReportLayout layout(m_data, m_columns, rowWalker());
    // Lay out before painting starts, so a paper that is too narrow produces no half-made output.
    if (Error error = layout.layOut(device))
        return error;
    QPainter painter;
    if (!painter.begin(device))
        return Error::of(Error::Kind::Io, QStringLiteral("The report could not be started on the printer."));
    const Error painted = layout.paint(&painter, device);
    painter.end();
    return painted;
}

Error ListingReport::renderToPdf(const QString& path) const
{
    return writePdf(path, m_paper.value_or(QPageSize(QPageSize::A4)), m_orientation);
}

Error ListingReport::writePdf(const QString& path, const QPageSize& size, QPageLayout::Orientation orientation) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Error::of(Error::Kind::Io, file.errorString());
    {
        QPdfWriter writer(&file);
        writer.setTitle(m_data.caption);
        writer.setCreator(QStringLiteral("Lexorium"));
        writer.setPageSize(size);
        writer.setPageOrientation(orientation);
        if (Error error = paintOn(&writer)) {
            file.cancelWriting();
            return error;
        }
    }
    if (!file.commit())
        return Error::of(Error::Kind::Io, file.errorString());
    return {};
}

Error ListingReport::print(QPrinter* printer) const
{
    return paintOn(printer);
}
