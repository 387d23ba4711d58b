#pragma once

#include "core/masters/listing_report_data.h"
#include "core/util/result.h"
#include "report/listing_row_walker.h"
#include "report/report_column.h"

#include <QFont>
#include <QImage>
#include <QList>
#include <QString>

#include <QRect>

#include <functional>
#include <memory>
#include <vector>

class QPagedPaintDevice;
class QPainter;
class QPaintDevice;
class QTextLayout;

// Lays a listing report out on the pages of one paint device and paints it. Every page carries the page header
// (frame, title, date label, column headings) and the page footer ("Page : N of M" and the footer text); the last
// page ends with "<< End of Report >>". Rows keep the order given and are not split across pages unless one is
// taller than a whole page, in which case it is cut between text lines. Rows are read through the walker once to
// lay the pages out and once more to paint them, so only one row's text layouts are held at a time. Once laid out,
// any one page can also be painted by itself, reading only that page's rows: what is kept per page is a few numbers
// per row.
class ReportLayout
{
public:
    // Told how many rows are laid out so far; returning false stops the layout (it then fails as Cancelled, with no
    // text).
    using Progress = std::function<bool(int rowsLaidOut)>;

    ReportLayout(const ListingReportData& data, const QList<ReportColumn>& columns, ListingRowWalker rows);
    ~ReportLayout();
    ReportLayout(const ReportLayout&) = delete;
    ReportLayout& operator=(const ReportLayout&) = delete;

    // Left and right 700, top 350 and bottom 800 twips, or the device's own minimum where it cannot print closer to
    // the edge.
    static void applyMargins(QPagedPaintDevice* device);

    // Breaks the report into pages for the device's paper and margins as they are now. An error (paperMessage())
    // when the columns' minimum widths do not fit across the paper or the page has no room for a row between header
    // and footer, or when the rows could not be read.
    Error layOut(const QPagedPaintDevice* device, const Progress& progress = {});
    // The same a part at a time, so that a preview shows its first pages while the rest is laid out: begin() checks
    // the paper as layOut does; each layOutMore() lays out up to `rows` more rows and tells whether the report is
    // laid out to its end. The rows are read again from where the last part stopped.
    Error begin(const QPagedPaintDevice* device);
    Result<bool> layOutMore(int rows, const Progress& progress = {});
    bool isComplete() const { return m_complete; }
    int rowsLaidOut() const { return m_laidOut; }
    // The pages so far; before the end the last of them may still grow.
    int pageCount() const;
    // The pages that are done: all of them at the end, all but the last before.
    int pagesReady() const;
    // The page count as far as it is known: "120", or "120+" before the end.
    QString pageCountText() const;
    // Whether the last layOut was stopped by its progress.
    bool cancelled() const { return m_cancelled; }
    // The whole sheet and its printable part, in the laid-out device's pixels.
    QRect paperRect() const { return m_paperRect; }
    QRect printableRect() const { return m_printableRect; }
    qreal resolution() const { return m_resolution; }

    // Paints every page, starting new pages on the device as it goes. The painter must be active on the device
    // that was laid out. An error when the rows could not be read again.
    Error paint(QPainter* painter, QPagedPaintDevice* device);
    // Paints page `page` (0 upwards) alone, reading only its rows. The painter's origin is the printable area's
    // top-left corner, its units the laid-out device's pixels, and its device must have the laid-out resolution
    // (the device itself, or an image from pageImage), since text is sized for the device the painter is on.
    Error paintPage(QPainter* painter, int page);
    // The whole sheet of page `page` on a white image, `scale` image pixels to a device pixel. An error when the
    // page's rows could not be read or there is no such page.
    Result<QImage> pageImage(int page, qreal scale);

    static QString pageFooterText(int page, int pageCount);
    static QString footerText();
    static QString endOfReportText();
    // Why a report cannot be laid out on the paper.
    static QString paperMessage();

private:
    // The part of one row that goes on one page, in the row's own coordinates.
    struct Slice {
        int row = 0;
        qreal top = 0;
        qreal height = 0;
    };
    struct Page {
        QList<Slice> slices;
        bool endOfReport = false;
        qreal endOfReportY = 0;
    };

    qreal px(int twips) const;
    std::unique_ptr<QTextLayout> cellLayout(const QString& text, const QFont& font, qreal width) const;
    using Cells = std::vector<std::unique_ptr<QTextLayout>>;
    Cells rowCells(const QStringList& row) const;
    qreal bestCut(const Cells& cells, qreal from, qreal limit) const;
    void startPage(QPainter* painter) const;
    void finishPage(QPainter* painter, int page) const;
    void paintHeader(QPainter* painter) const;
    void paintFooter(QPainter* painter, int page) const;
    void paintSlice(QPainter* painter, const Cells& cells, const Slice& slice, qreal y) const;
    void paintColumnRules(QPainter* painter, qreal top, qreal bottom) const;

    ListingReportData m_data;
    QList<ReportColumn> m_columns;
    ListingRowWalker m_rows;
    bool m_cancelled = false;
    bool m_complete = false;
    int m_nextRow = 0; // the place the next part starts at
    int m_laidOut = 0;
    qreal m_y = 0; // how far down the last page is filled
    qreal m_detailLine = 0;
    const QPaintDevice* m_device = nullptr;
    QRect m_paperRect;
    QRect m_printableRect;
    qreal m_resolution = 72;
    QFont m_titleFont;
    QFont m_headingFont;
    QFont m_detailFont;
    QFont m_footerFont;

    // Geometry in device pixels, relative to the printable area's top-left corner.
    qreal m_width = 0;
    qreal m_height = 0;
    QList<qreal> m_columnLeft;
    QList<qreal> m_columnWidth;
    qreal m_titleHeight = 0;
    qreal m_headingTop = 0;
    qreal m_headerBottom = 0;
    qreal m_bodyTop = 0;
    qreal m_bodyHeight = 0;
    qreal m_footerTop = 0;
    std::vector<std::unique_ptr<QTextLayout>> m_headingCells;
    QList<Page> m_pages;
};
