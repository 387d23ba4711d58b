#include "gui/common/report_preview_dialog.h"

#include "gui/common/file_dialog.h"
#include "gui/common/hourglass.h"
#include "gui/common/message_box.h"
#include "report/listing_report.h"
#include "report/report_layout.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {
constexpr qreal kMinimumZoom = 0.1;
constexpr qreal kMaximumZoom = 5;
constexpr qreal kZoomStep = 1.25;
// Room left around the page inside the view.
constexpr int kPageGap = 12;
// How long one part of the background layout may keep the window from its events.
constexpr qint64 kTurnMs = 40;
// A wait for a page shorter than this shows no progress.
constexpr int kQuietWaitMs = 500;

QAction* toolAction(QToolBar* bar, const QString& text, const QString& name, const QKeySequence& key = {})
{
    QAction* action = bar->addAction(text);
    action->setObjectName(name);
    action->setToolTip(text);
    if (!key.isEmpty())
        action->setShortcut(key);
    return action;
}
} // namespace

ReportPreviewDialog::ReportPreviewDialog(const ListingReport& report, QPrinter* printer,
                                         std::unique_ptr<ReportLayout> layout, QWidget* parent)
    : QDialog(parent)
    , m_report(report)
    , m_printer(printer)
    , m_layout(std::move(layout))
{
    setObjectName(report.name());
    setWindowTitle(report.caption());
    setWindowFlag(Qt::WindowMaximizeButtonHint);

    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("PreviewToolBar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    connect(
        toolAction(bar, QStringLiteral("First"), QStringLiteral("FirstPage"), QKeySequence(Qt::CTRL | Qt::Key_Home)),
        &QAction::triggered, this, &ReportPreviewDialog::firstPage);
    connect(toolAction(bar, QStringLiteral("Previous"), QStringLiteral("PreviousPage"), QKeySequence(Qt::Key_PageUp)),
            &QAction::triggered, this, &ReportPreviewDialog::previousPage);
    m_pageBox = new QSpinBox(bar);
    m_pageBox->setObjectName(QStringLiteral("PageNumber"));
    m_pageBox->setKeyboardTracking(false);
    m_pageBox->setAlignment(Qt::AlignRight);
    bar->addWidget(m_pageBox);
    connect(m_pageBox, &QSpinBox::valueChanged, this, &ReportPreviewDialog::showPage);
    connect(toolAction(bar, QStringLiteral("Next"), QStringLiteral("NextPage"), QKeySequence(Qt::Key_PageDown)),
            &QAction::triggered, this, &ReportPreviewDialog::nextPage);
    connect(toolAction(bar, QStringLiteral("Last"), QStringLiteral("LastPage"), QKeySequence(Qt::CTRL | Qt::Key_End)),
            &QAction::triggered, this, &ReportPreviewDialog::lastPage);
    bar->addSeparator();
    connect(toolAction(bar, QStringLiteral("Fit Width"), QStringLiteral("FitWidth")), &QAction::triggered, this,
            &ReportPreviewDialog::fitWidth);
    connect(toolAction(bar, QStringLiteral("Fit Page"), QStringLiteral("FitPage")), &QAction::triggered, this,
            &ReportPreviewDialog::fitPage);
    connect(toolAction(bar, QStringLiteral("Zoom In"), QStringLiteral("ZoomIn"), QKeySequence::ZoomIn),
            &QAction::triggered, this, &ReportPreviewDialog::zoomIn);
    connect(toolAction(bar, QStringLiteral("Zoom Out"), QStringLiteral("ZoomOut"), QKeySequence::ZoomOut),
            &QAction::triggered, this, &ReportPreviewDialog::zoomOut);
    bar->addSeparator();
    connect(toolAction(bar, QStringLiteral("Print"), QStringLiteral("Print"), QKeySequence::Print), &QAction::triggered,
            this, &ReportPreviewDialog::print);
    connect(toolAction(bar, QStringLiteral("Save as PDF"), QStringLiteral("SaveAsPdf")), &QAction::triggered, this,
            &ReportPreviewDialog::saveAsPdf);

    m_view = new QLabel;
    m_view->setObjectName(QStringLiteral("PreviewPage"));
    m_view->setAlignment(Qt::AlignCenter);
    m_area = new QScrollArea(this);
    m_area->setObjectName(QStringLiteral("PreviewArea"));
    m_area->setAlignment(Qt::AlignCenter);
    m_area->setBackgroundRole(QPalette::Dark);
    m_area->setWidget(m_view);
    m_area->setWidgetResizable(false);

    auto* layoutBox = new QVBoxLayout(this);
    layoutBox->setContentsMargins(0, 0, 0, 0);
    layoutBox->setSpacing(0);
    layoutBox->addWidget(bar);
    layoutBox->addWidget(m_area, 1);

    QSize size(900, 1000);
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize() * 9 / 10);
    resize(size);

    m_turns = new QTimer(this);
    m_turns->setInterval(0);
    connect(m_turns, &QTimer::timeout, this, &ReportPreviewDialog::layOutTurn);
    updatePageBox();
    if (!isLaidOut())
        m_turns->start();
}

ReportPreviewDialog::~ReportPreviewDialog() = default;

int ReportPreviewDialog::pageCount() const
{
    return m_layout ? m_layout->pageCount() : 0;
}

bool ReportPreviewDialog::isLaidOut() const
{
    return !m_layout || m_layout->isComplete();
}

void ReportPreviewDialog::updatePageBox()
{
    const QSignalBlocker blocker(m_pageBox);
    // Before the end any page may be asked for: it is shown once it is laid out, or the last one if there are fewer.
    m_pageBox->setRange(1, isLaidOut() ? std::max(1, pageCount()) : std::numeric_limits<int>::max());
    m_pageBox->setSuffix(QStringLiteral(" of %1").arg(m_layout ? m_layout->pageCountText() : QStringLiteral("0")));
    m_pageBox->setValue(m_page);
}

void ReportPreviewDialog::layOutTurn()
{
    if (isLaidOut()) {
        m_turns->stop();
        return;
    }
    QElapsedTimer clock;
    clock.start();
    const Result<bool> done = m_layout->layOutMore(m_rowsPerTurn);
    // As many rows a turn as take about the time allowed.
    const qint64 took = std::max<qint64>(1, clock.elapsed());
    m_rowsPerTurn = std::clamp(int(m_rowsPerTurn * kTurnMs / took), 1, 2000);
    if (!done) {
        m_turns->stop();
        stopWaiting();
        MessageBox::information(this, done.error().description, m_report.caption());
        reject();
        return;
    }
    if (*done) {
        m_turns->stop();
        // The pages drawn so far show the count as it was then.
        m_drawn.clear();
    }
    updatePageBox();
    if (m_waiting)
        m_waiting->setValue(m_layout->rowsLaidOut());
    if (m_waitingFor > 0 && (*done || m_waitingFor <= m_layout->pagesReady())) {
        const int page = std::min(m_waitingFor, pageCount());
        stopWaiting();
        showPage(page);
    } else if (*done) {
        refresh();
    }
}

void ReportPreviewDialog::waitFor(int page)
{
    m_waitingFor = page;
    if (!m_waiting) {
        m_waiting = new QProgressDialog(QStringLiteral("Preparing the pages..."), QStringLiteral("Cancel"), 0,
                                        std::max(1, m_report.rowCount()), this);
        m_waiting->setObjectName(QStringLiteral("ReportProgress"));
        m_waiting->setWindowTitle(m_report.caption());
        m_waiting->setWindowModality(Qt::WindowModal);
        m_waiting->setAutoReset(false);
        m_waiting->setAutoClose(false);
        m_waiting->setMinimumDuration(kQuietWaitMs);
        // Cancel gives up the wait; the layout goes on.
        connect(m_waiting, &QProgressDialog::canceled, this, &ReportPreviewDialog::stopWaiting);
    }
    m_waiting->setValue(m_layout->rowsLaidOut());
}

void ReportPreviewDialog::stopWaiting()
{
    m_waitingFor = 0;
    if (m_waiting) {
        m_waiting->deleteLater();
        m_waiting = nullptr;
    }
}

qreal ReportPreviewDialog::scale() const
{
    // At zoom 1 the paper has its true size on the screen.
    return m_zoom * logicalDpiX() / m_layout->resolution();
}

void ReportPreviewDialog::showPage(int page)
{
    if (!isLaidOut() && page > m_layout->pagesReady()) {
        waitFor(page);
        const QSignalBlocker blocker(m_pageBox);
        m_pageBox->setValue(m_page);
        return;
    }
    stopWaiting();
    page = std::clamp(page, 1, std::max(1, pageCount()));
    const bool moved = page != m_page;
    m_page = page;
    {
        const QSignalBlocker blocker(m_pageBox);
        m_pageBox->setValue(page);
    }
    refresh();
    if (moved)
        m_area->verticalScrollBar()->setValue(0);
}

void ReportPreviewDialog::firstPage()
{
    showPage(1);
}

void ReportPreviewDialog::previousPage()
{
    showPage(m_page - 1);
}

void ReportPreviewDialog::nextPage()
{
    showPage(m_page + 1);
}

void ReportPreviewDialog::lastPage()
{
    showPage(isLaidOut() ? pageCount() : std::numeric_limits<int>::max());
}

void ReportPreviewDialog::fitWidth()
{
    setZoom(m_zoom, Fit::Width);
}

void ReportPreviewDialog::fitPage()
{
    setZoom(m_zoom, Fit::Page);
}

void ReportPreviewDialog::zoomIn()
{
    setZoom(m_zoom * kZoomStep, Fit::None);
}

void ReportPreviewDialog::zoomOut()
{
    setZoom(m_zoom / kZoomStep, Fit::None);
}

void ReportPreviewDialog::setZoom(qreal zoom, Fit fit)
{
    m_fit = fit;
    m_zoom = std::clamp(zoom, kMinimumZoom, kMaximumZoom);
    applyFit();
    refresh();
}

void ReportPreviewDialog::applyFit()
{
    if (m_fit == Fit::None || !m_layout)
        return;
    const QSizeF paper = QSizeF(m_layout->paperRect().size()) * logicalDpiX() / m_layout->resolution();
    const QSize room = m_area->maximumViewportSize() - QSize(2 * kPageGap, 2 * kPageGap);
    qreal zoom = qreal(room.width()) / paper.width();
    if (m_fit == Fit::Page)
        zoom = std::min(zoom, qreal(room.height()) / paper.height());
    else if (paper.height() * zoom > room.height())
        // The vertical scroll bar will take some of the width.
        zoom = qreal(room.width() - m_area->verticalScrollBar()->sizeHint().width()) / paper.width();
    m_zoom = std::clamp(zoom, kMinimumZoom, kMaximumZoom);
}

void ReportPreviewDialog::refresh()
{
    if (!m_layout || pageCount() == 0)
        return;
    // A page that may still take rows is drawn once it is done.
    if (!isLaidOut() && m_page > m_layout->pagesReady()) {
        waitFor(m_page);
        return;
    }
    const Result<QImage> image = drawnPage(m_page);
    m_shown = image.valueOr(QImage());
    if (!image) {
        m_view->clear();
        m_view->resize(m_area->maximumViewportSize());
        MessageBox::information(this, image.error().description, m_report.caption());
        return;
    }
    m_view->setPixmap(QPixmap::fromImage(*image));
    m_view->resize(image->size() + QSize(2 * kPageGap, 2 * kPageGap));
}

Result<QImage> ReportPreviewDialog::drawnPage(int page)
{
    const qreal wanted = scale();
    for (int i = 0; i < m_drawn.size(); ++i) {
        if (m_drawn[i].page == page && qFuzzyCompare(m_drawn[i].scale, wanted)) {
            m_drawn.move(i, 0);
            return m_drawn.first().image;
        }
    }
    Hourglass hourglass;
    const Result<QImage> image = m_layout->pageImage(page - 1, wanted);
    if (!image)
        return image;
    // Only the last few pages drawn are kept: a long report is never held as pictures.
    m_drawn.prepend({page, wanted, *image});
    while (m_drawn.size() > kCachedPages)
        m_drawn.removeLast();
    return image;
}

void ReportPreviewDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    applyFit();
    refresh();
}

void ReportPreviewDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (m_fit != Fit::None && isVisible()) {
        const qreal before = m_zoom;
        applyFit();
        if (!qFuzzyCompare(before, m_zoom))
            refresh();
    }
}

void ReportPreviewDialog::print()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(m_printer->pageLayout().pageSize());
    printer.setPageOrientation(m_printer->pageLayout().orientation());
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    Error error;
    {
        Hourglass hourglass;
        error = m_report.print(&printer);
    }
    if (error)
        MessageBox::information(this, error.description, m_report.caption());
}

void ReportPreviewDialog::saveAsPdf()
{
    QString path = FileDialog::getSaveFileName(this, QStringLiteral("Save as PDF"), QString(),
                                               QStringLiteral("PDF files (*.pdf)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    // The file gets the paper of the preview.
    const QPageLayout layout = m_printer->pageLayout();
    Error error;
    {
        Hourglass hourglass;
        error = m_report.writePdf(path, layout.pageSize(), layout.orientation());
    }
    if (error)
        MessageBox::information(this, error.description, m_report.caption());
}
