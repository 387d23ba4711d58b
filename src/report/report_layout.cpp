#include "report/report_layout.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <limits>

namespace {
constexpr int TwipsPerInch = 1440;
constexpr int TwipsPerPoint = 20;

// The same on both sides: the frame and the rules would otherwise run to the paper's right edge.
constexpr int MarginLeft = 700;
constexpr int MarginTop = 350;
constexpr int MarginRight = 700;
constexpr int MarginBottom = 800;

constexpr int CellPadding = 60;
constexpr int CellVerticalPadding = 40;
constexpr int SectionGap = 80;
constexpr int EndOfReportGap = 160;
constexpr int RuleWidth = 15;

qreal points(int twips)
{
    return qreal(twips) / TwipsPerPoint;
}

QFont reportFont(int pointSize, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}
} // namespace

ReportLayout::ReportLayout(const ListingReportData& data, const QList<ReportColumn>& columns, ListingRowWalker rows)
    : m_data(data)
    , m_columns(columns)
    , m_rows(std::move(rows))
    , m_titleFont(reportFont(14, true))
    , m_headingFont(reportFont(10, true))
    , m_detailFont(reportFont(10, false))
    , m_footerFont(reportFont(9, false))
{}

ReportLayout::~ReportLayout() = default;

void ReportLayout::applyMargins(QPagedPaintDevice* device)
{
    QPageLayout layout = device->pageLayout();
    layout.setUnits(QPageLayout::Point);
    const QMarginsF minimum = layout.minimumMargins();
    const QMarginsF margins(std::max(points(MarginLeft), minimum.left()), std::max(points(MarginTop), minimum.top()),
                            std::max(points(MarginRight), minimum.right()),
                            std::max(points(MarginBottom), minimum.bottom()));
    device->setPageMargins(margins, QPageLayout::Point);
}

QString ReportLayout::pageFooterText(int page, int pageCount)
{
    return QStringLiteral("Page : %1 of %2").arg(page).arg(pageCount);
}

QString ReportLayout::footerText()
{
    return QStringLiteral("This report is done by Morvane.");
}

QString ReportLayout::endOfReportText()
{
    return QStringLiteral("<< End of Report >>");
}

QString ReportLayout::paperMessage()
{
    return QStringLiteral("Please Check your Printer paper settings.");
}

qreal ReportLayout::px(int twips) const
{
    return qreal(twips) * m_resolution / TwipsPerInch;
}

std::unique_ptr<QTextLayout> ReportLayout::cellLayout(const QString& text, const QFont& font, qreal width) const
{
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QString(QChar::LineSeparator));
    shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
    auto layout = std::make_unique<QTextLayout>(shown, font, m_device);
    QTextOption option;
    // A long word without blanks must still wrap inside its column rather than run into the next one.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    qreal y = 0;
    layout->beginLayout();
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
        line.setLineWidth(std::max<qreal>(width, 1));
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout->endLayout();
    return layout;
}

ReportLayout::Cells ReportLayout::rowCells(const QStringList& row) const
{
    const qreal pad = px(CellPadding);
    Cells cells;
    for (int c = 0; c < m_columns.size(); ++c)
        cells.push_back(cellLayout(row.value(c), m_detailFont, m_columnWidth[c] - 2 * pad));
    return cells;
}

Error ReportLayout::begin(const QPagedPaintDevice* device)
{
    m_device = device;
    m_resolution = device->logicalDpiY() > 0 ? device->logicalDpiY() : 72;
    m_paperRect = device->pageLayout().fullRectPixels(device->logicalDpiX());
    m_printableRect = device->pageLayout().paintRectPixels(device->logicalDpiX());
    m_width = m_printableRect.width();
    m_height = m_printableRect.height();
    m_pages.clear();
    m_headingCells.clear();
    m_cancelled = false;
    m_complete = false;
    m_nextRow = 0;
    m_laidOut = 0;
    m_y = 0;

    int minimum = 0;
    int stretch = 0;
    for (const ReportColumn& column : m_columns) {
        minimum += column.minimumTwips;
        stretch += column.stretch;
    }
    if (m_columns.isEmpty() || px(minimum) > m_width)
        return Error::other(paperMessage());

    const qreal spare = m_width - px(minimum);
    m_columnLeft.clear();
    m_columnWidth.clear();
    qreal left = 0;
    for (const ReportColumn& column : m_columns) {
        const qreal width = px(column.minimumTwips) + (stretch > 0 ? spare * column.stretch / stretch : 0);
        m_columnLeft.append(left);
        m_columnWidth.append(width);
        left += width;
    }
    if (stretch == 0)
        m_columnWidth.last() += spare;

    const qreal pad = px(CellPadding);
    const qreal vpad = px(CellVerticalPadding);

    // Page header: the title row, then the headings row, both inside one frame.
    m_titleHeight = QFontMetricsF(m_titleFont, device).height();
    m_headingTop = vpad + m_titleHeight + vpad;
    qreal headingHeight = 0;
    for (int c = 0; c < m_columns.size(); ++c) {
        m_headingCells.push_back(cellLayout(m_data.headings.value(c), m_headingFont, m_columnWidth[c] - 2 * pad));
        headingHeight = std::max(headingHeight, m_headingCells.back()->boundingRect().height());
    }
    m_headerBottom = m_headingTop + vpad + headingHeight + vpad;
    m_bodyTop = m_headerBottom + px(SectionGap);

    const qreal footerLine = QFontMetricsF(m_footerFont, device).height();
    m_footerTop = m_height - (px(SectionGap) + footerLine);
    m_bodyHeight = m_footerTop - px(SectionGap) - m_bodyTop;
    m_detailLine = QFontMetricsF(m_detailFont, device).height();
    if (m_bodyHeight < m_detailLine + 2 * vpad)
        return Error::other(paperMessage());
    // Only the heights and cuts are kept: the rows' texts are read again when the pages are painted.
    m_pages.append(Page());
    return {};
}

Error ReportLayout::layOut(const QPagedPaintDevice* device, const Progress& progress)
{
    if (Error e = begin(device))
        return e;
    const Result<bool> done = layOutMore(std::numeric_limits<int>::max(), progress);
    return done ? Error() : done.error();
}

Result<bool> ReportLayout::layOutMore(int rows, const Progress& progress)
{
    if (m_complete)
        return true;
    if (m_pages.isEmpty())
        return Error::other(paperMessage()); // not begun, or begun on a paper it does not fit
    const qreal vpad = px(CellVerticalPadding);
    int taken = 0;
    bool more = false;
    qreal& y = m_y;
    const Error failure = m_rows(m_nextRow, [&](int r, const QStringList& row) {
        if (taken >= rows) {
            // Laid out at the next turn, read again from here.
            m_nextRow = r;
            more = true;
            return false;
        }
        if (progress && !progress(m_laidOut)) {
            m_cancelled = true;
            return false;
        }
        ++m_laidOut;
        ++taken;
        m_nextRow = r + 1;
        const Cells cells = rowCells(row);
        qreal textHeight = 0;
        for (const auto& cell : cells)
            textHeight = std::max(textHeight, cell->boundingRect().height());
        const qreal height = std::max(textHeight, m_detailLine) + 2 * vpad;
        if (height <= m_bodyHeight) {
            if (y + height > m_bodyHeight && y > 0) {
                m_pages.append(Page());
                y = 0;
            }
            m_pages.last().slices.append({r, 0, height});
            y += height;
            return true;
        }
        qreal offset = 0;
        while (offset < height) {
            const qreal room = m_bodyHeight - y;
            if (height - offset <= room) {
                m_pages.last().slices.append({r, offset, height - offset});
                y += height - offset;
                break;
            }
            qreal cut = bestCut(cells, offset, offset + room);
            if (cut <= offset) {
                if (y > 0) {
                    m_pages.append(Page());
                    y = 0;
                    continue;
                }
                // A single line taller than the page: cut it where the page ends.
                cut = offset + room;
            }
            m_pages.last().slices.append({r, offset, cut - offset});
            m_pages.append(Page());
            y = 0;
            offset = cut;
        }
        return true;
    });
    if (failure || m_cancelled) {
        m_pages.clear();
        if (m_cancelled)
            return Error::of(Error::Kind::Cancelled, QString());
        return failure;
    }
    if (more)
        return false;
    const qreal endHeight = px(EndOfReportGap) + m_detailLine;
    if (y + endHeight > m_bodyHeight && y > 0) {
        m_pages.append(Page());
        y = 0;
    }
    m_pages.last().endOfReport = true;
    m_pages.last().endOfReportY = y;
    m_complete = true;
    return true;
}

int ReportLayout::pagesReady() const
{
    // Until the end the last page may still take rows.
    return m_complete ? int(m_pages.size()) : std::max(0, int(m_pages.size()) - 1);
}

QString ReportLayout::pageCountText() const
{
    return m_complete ? QString::number(pageCount()) : QString::number(pageCount()) + QLatin1Char('+');
}

qreal ReportLayout::bestCut(const Cells& cells, qreal from, qreal limit) const
{
    // A cut is allowed where no cell of the row has a text line running across it.
    const qreal vpad = px(CellVerticalPadding);
    QList<qreal> candidates;
    for (const auto& layout : cells) {
        for (int i = 0; i < layout->lineCount(); ++i)
            candidates.append(vpad + layout->lineAt(i).y());
    }
    std::sort(candidates.begin(), candidates.end(), std::greater<qreal>());
    for (const qreal candidate : candidates) {
        if (candidate > limit || candidate <= from)
            continue;
        bool clear = true;
        for (std::size_t c = 0; c < cells.size() && clear; ++c) {
            const QTextLayout* layout = cells[c].get();
            for (int i = 0; i < layout->lineCount(); ++i) {
                const QTextLine line = layout->lineAt(i);
                const qreal top = vpad + line.y();
                if (top < candidate - 0.01 && top + line.height() > candidate + 0.01) {
                    clear = false;
                    break;
                }
            }
        }
        if (clear)
            return candidate;
    }
    return from;
}

int ReportLayout::pageCount() const
{
    return int(m_pages.size());
}

Error ReportLayout::paint(QPainter* painter, QPagedPaintDevice* device)
{
    int p = 0;
    int s = 0;
    qreal y = m_bodyTop;
    const auto nextPage = [&] {
        finishPage(painter, p);
        ++p;
        device->newPage();
        startPage(painter);
        s = 0;
        y = m_bodyTop;
    };
    if (m_pages.isEmpty())
        return {};
    startPage(painter);
    // Rows come in the order they were laid out; each is painted on the pages its slices were given, and a page
    // is finished as soon as its last slice is painted, so a printer or PDF file can take it away.
    const Error failure = m_rows(0, [&](int r, const QStringList& row) {
        Cells cells;
        while (p < m_pages.size()) {
            const QList<Slice>& slices = m_pages[p].slices;
            if (s >= slices.size()) {
                if (p + 1 >= m_pages.size())
                    return false;
                nextPage();
                continue;
            }
            const Slice& slice = slices[s];
            if (slice.row > r)
                return true; // a row added since the layout: it has no place
            if (slice.row == r) {
                if (cells.empty())
                    cells = rowCells(row);
                paintSlice(painter, cells, slice, y);
            }
            // A row gone since the layout leaves its place blank.
            y += slice.height;
            ++s;
        }
        return false;
    });
    // Pages after the last row read: the end of the report, or places of rows gone since.
    while (p + 1 < m_pages.size())
        nextPage();
    finishPage(painter, p);
    return failure;
}

Error ReportLayout::paintPage(QPainter* painter, int page)
{
    if (page < 0 || page >= m_pages.size())
        return Error::of(Error::Kind::NotFound, QStringLiteral("The report has no page %1.").arg(page + 1));
    painter->save();
    startPage(painter);
    const QList<Slice>& slices = m_pages[page].slices;
    Error failure;
    if (!slices.isEmpty()) {
        int s = 0;
        qreal y = m_bodyTop;
        failure = m_rows(slices.first().row, [&](int r, const QStringList& row) {
            // Rows gone since the layout leave their places blank.
            while (s < slices.size() && slices[s].row < r) {
                y += slices[s].height;
                ++s;
            }
            if (s >= slices.size())
                return false;
            if (slices[s].row > r)
                return true;
            const Cells cells = rowCells(row);
            while (s < slices.size() && slices[s].row == r) {
                paintSlice(painter, cells, slices[s], y);
                y += slices[s].height;
                ++s;
            }
            return s < slices.size();
        });
    }
    finishPage(painter, page);
    painter->restore();
    return failure;
}

Result<QImage> ReportLayout::pageImage(int page, qreal scale)
{
    if (page < 0 || page >= m_pages.size() || scale <= 0)
        return Error::of(Error::Kind::NotFound, QStringLiteral("The report has no page %1.").arg(page + 1));
    const QSize size(std::max(1, qRound(m_paperRect.width() * scale)),
                     std::max(1, qRound(m_paperRect.height() * scale)));
    QImage image(size, QImage::Format_RGB32);
    // The image claims the laid-out device's resolution, so that fonts are sized as on the paper and then scaled
    // down with everything else.
    const int dotsPerMeter = qRound(m_resolution / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    painter.scale(scale, scale);
    painter.translate(m_printableRect.topLeft() - m_paperRect.topLeft());
    const Error painted = paintPage(&painter, page);
    painter.end();
    if (painted)
        return painted;
    return image;
}

void ReportLayout::startPage(QPainter* painter) const
{
    QPen rule(Qt::black);
    rule.setWidthF(px(RuleWidth));
    painter->setPen(rule);
    paintHeader(painter);
}

void ReportLayout::finishPage(QPainter* painter, int page) const
{
    if (m_pages[page].endOfReport) {
        painter->setFont(m_detailFont);
        const qreal top = m_bodyTop + m_pages[page].endOfReportY + px(EndOfReportGap);
        painter->drawText(QRectF(0, top, m_width, m_height - top), Qt::AlignHCenter | Qt::AlignTop, endOfReportText());
    }
    paintFooter(painter, page + 1);
}

void ReportLayout::paintHeader(QPainter* painter) const
{
    const qreal vpad = px(CellVerticalPadding);
    const qreal pad = px(CellPadding);
    const qreal half = px(RuleWidth) / 2;
    painter->drawRect(QRectF(half, half, m_width - 2 * half, m_headerBottom - half));
    painter->drawLine(QPointF(0, m_headingTop), QPointF(m_width, m_headingTop));
    paintColumnRules(painter, m_headingTop, m_headerBottom);

    painter->setFont(m_titleFont);
    painter->drawText(QRectF(0, vpad, m_width, m_titleHeight), Qt::AlignHCenter | Qt::AlignVCenter, m_data.title);
    painter->setFont(m_detailFont);
    painter->drawText(QRectF(pad, vpad, m_width - 2 * pad, m_titleHeight), Qt::AlignRight | Qt::AlignVCenter,
                      reportDateLabel(m_data.date));

    for (int c = 0; c < m_columns.size(); ++c)
        m_headingCells[std::size_t(c)]->draw(painter, QPointF(m_columnLeft[c] + pad, m_headingTop + vpad));
}

void ReportLayout::paintFooter(QPainter* painter, int page) const
{
    const qreal pad = px(CellPadding);
    painter->drawLine(QPointF(0, m_footerTop), QPointF(m_width, m_footerTop));
    painter->setFont(m_footerFont);
    const QRectF text(pad, m_footerTop + px(SectionGap) / 2, m_width - 2 * pad, m_height - m_footerTop);
    // Before the whole report is laid out (a preview's first pages) the count so far, marked as such.
    const QString count = pageFooterText(page, pageCount());
    painter->drawText(text, Qt::AlignLeft | Qt::AlignTop, m_complete ? count : count + QLatin1Char('+'));
    painter->drawText(text, Qt::AlignRight | Qt::AlignTop, footerText());
}

void ReportLayout::paintSlice(QPainter* painter, const Cells& cells, const Slice& slice, qreal y) const
{
    const qreal pad = px(CellPadding);
    const qreal vpad = px(CellVerticalPadding);
    const qreal bottom = slice.top + slice.height;
    for (int c = 0; c < m_columns.size(); ++c) {
        const QTextLayout* layout = cells[std::size_t(c)].get();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            const qreal top = vpad + line.y();
            // Each line is drawn on the page where it starts, so a cut row loses nothing and repeats nothing.
            if (top < slice.top - 0.01 || top >= bottom - 0.01)
                continue;
            line.draw(painter, QPointF(m_columnLeft[c] + pad, y - slice.top + vpad));
        }
    }
    const qreal half = px(RuleWidth) / 2;
    painter->drawLine(QPointF(half, y), QPointF(half, y + slice.height));
    painter->drawLine(QPointF(m_width - half, y), QPointF(m_width - half, y + slice.height));
    paintColumnRules(painter, y, y + slice.height);
    painter->drawLine(QPointF(0, y + slice.height), QPointF(m_width, y + slice.height));
}

void ReportLayout::paintColumnRules(QPainter* painter, qreal top, qreal bottom) const
{
    for (int c = 1; c < m_columns.size(); ++c)
        painter->drawLine(QPointF(m_columnLeft[c], top), QPointF(m_columnLeft[c], bottom));
}
