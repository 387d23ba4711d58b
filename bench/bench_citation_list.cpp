// The View Citation list and the citation listing report on large databases: how soon the first rows show, how
// long scrolling to the end takes, and the program's resident memory while the list is open. Run by hand:
//     LEXORIUM_TEST_ENGINE=sqlite|postgres build/bin/bench_citation_list [counts...] [-report]
// (counts default to 5000 50000; -report also writes the listing report of each database to a PDF file, -preview
// opens it in the preview window and shows its first and last pages, -snapshot=file.png saves the first page shown).
#include "core/citations/citation_list_query.h"
#include "core/db/db_session.h"
#include "datagen/citation_filler.h"
#include "datagen/citation_generator.h"
#include "gui/citations/citation_list_screen.h"
#include "gui/common/report_preview_dialog.h"
#include "report/citation_listing_report.h"
#include "support/test_database.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPrinter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTreeView>

#include <malloc.h>

#include <cstdio>

namespace {
// Resident memory of this process now, in MB.
double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return -1;
}

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// A listing report laid out and written to a PDF file, its memory seen after each page's worth of rows.
void benchReport(DbSession& session, const QTemporaryDir& dir)
{
    const CitationListQuery query(session);
    const QList<qint64> cases = query.listingCaseIds().valueOr({});
    double peak = residentMb();
    int seen = 0;
    CitationListingReport report(CitationListQuery::listingHeader([] { return QDate(2026, 12, 8); }), int(cases.size()),
                                 [&](int from, const std::function<bool(int, const QStringList&)>& fn) {
                                     const Error e = query.eachListingRow(
                                         cases,
                                         [&](int i, const QStringList& r) {
                                             if (++seen % 500 == 0)
                                                 peak = std::max(peak, residentMb());
                                             return fn(i, r);
                                         },
                                         from);
                                     return e;
                                 });
    QElapsedTimer timer;
    timer.start();
    const QString path = dir.filePath(QStringLiteral("listing.pdf"));
    const Error error = report.renderToPdf(path);
    std::printf("  report: %d rows %s in %.1f s, %.1f MB of PDF, resident at most %.0f MB\n", int(cases.size()),
                !error ? "laid out and written" : qPrintable(QStringLiteral("failed: ") + error.description),
                double(timer.elapsed()) / 1000, double(QFile(path).size()) / 1e6, peak);
    QFile::remove(path);
}

// The preview as the screen opens it: the first page laid out on the preview's printer and shown, the rest laid
// out while the window is open; then the last page (waited for until the whole report is laid out) and 20 pages
// back. Resident memory is sampled while the pages are laid out and after each page is shown.
void benchPreview(DbSession& session, const QString& snapshot)
{
    const CitationListQuery query(session);
    const QList<qint64> cases = query.listingCaseIds().valueOr({});
    CitationListingReport report(CitationListQuery::listingHeader([] { return QDate(2026, 12, 8); }), int(cases.size()),
                                 [&](int from, const std::function<bool(int, const QStringList&)>& fn) {
                                     return query.eachListingRow(cases, fn, from);
                                 });
    malloc_trim(0);
    const double before = residentMb();
    double peak = before;
    QElapsedTimer timer;
    timer.start();
    QPrinter printer(QPrinter::HighResolution);
    Result<std::unique_ptr<ReportLayout>> layout = report.beginLayOut(&printer);
    while (layout && !(*layout)->isComplete() && (*layout)->pagesReady() < 1) {
        const Result<bool> step = (*layout)->layOutMore(50);
        if (!step)
            layout = step.error();
    }
    if (!layout) {
        std::printf("  preview: layout failed: %s\n", qPrintable(layout.error().description));
        return;
    }
    ReportPreviewDialog dialog(report, &printer, std::move(*layout));
    dialog.show();
    settle();
    const qint64 first = timer.elapsed();
    const double firstRss = residentMb();
    if (!snapshot.isEmpty())
        dialog.shownImage().save(snapshot);
    // The window's own turns lay out the rest; the last page shows when they are done.
    dialog.lastPage();
    qint64 longestTurn = 0;
    int samples = 0;
    QElapsedTimer turn;
    while (!dialog.isLaidOut() || dialog.currentPage() != dialog.pageCount()) {
        turn.start();
        QApplication::processEvents();
        longestTurn = std::max(longestTurn, turn.elapsed());
        if (++samples % 200 == 0)
            peak = std::max(peak, residentMb());
    }
    settle();
    const qint64 laidOut = timer.elapsed();
    const int pages = dialog.pageCount();
    timer.restart();
    for (int i = 0; i < 20; ++i)
        dialog.previousPage();
    settle();
    const qint64 back = timer.elapsed();
    std::printf("  preview: first page shown at %.2f s; %d pages laid out and the last shown at %.1f s (the window "
                "waiting at most %lld ms for its events), 20 pages back in %lld ms (page %d)\n",
                double(first) / 1000, pages, double(laidOut) / 1000, longestTurn, back, dialog.currentPage());
    std::printf("  preview resident: %.0f MB before, %.0f MB at the first page, at most %.0f MB laying out, "
                "%.0f MB at the end\n",
                before, firstRss, peak, residentMb());
}

bool benchList(int count, bool withReport, bool withPreview, const QString& snapshot)
{
    TestDatabase db;
    QString why;
    if (db.create(true, &why) != TestDatabase::Status::Ready) {
        std::printf("no database: %s\n", qPrintable(why));
        return false;
    }
    {
        DbSession session(db.ctx());
        CitationGenerator generator(42);
        QElapsedTimer fill;
        fill.start();
        if (Error e = CitationFiller::writeMasters(session)) {
            std::printf("masters: %s\n", qPrintable(e.description));
            return false;
        }
        if (Error e = CitationFiller::fill(session, generator, count, CitationFiller::Path::Bulk, 2000)) {
            std::printf("fill: %s\n", qPrintable(e.description));
            return false;
        }
        std::printf("%s, %d citations (filled in %.1f s)\n", qPrintable(TestDatabase::engine()), count,
                    double(fill.elapsed()) / 1000);
    }
    // What filling left behind is given back, so that what follows is the list's own.
    malloc_trim(0);
    const double before = residentMb();

    QElapsedTimer timer;
    timer.start();
    auto screen = std::make_unique<CitationListScreen>(db.ctx());
    screen->show();
    auto* list = screen->findChild<QTreeView*>(QStringLiteral("Lv0010"));
    settle();
    const qint64 opened = timer.elapsed();
    const QString first = list->model()->index(0, 1).data().toString();
    const double open = residentMb();

    // Scrolled down a screenful at a time, each step painted, as a user holding Page Down would.
    timer.restart();
    QScrollBar* bar = list->verticalScrollBar();
    int steps = 0;
    while (bar->value() < bar->maximum()) {
        bar->setValue(bar->value() + bar->pageStep());
        list->viewport()->repaint();
        ++steps;
    }
    settle();
    const qint64 scrolled = timer.elapsed();
    const QString last = list->model()->index(count - 1, 1).data().toString();
    const double end = residentMb();
    std::printf("  open: first rows in %lld ms (\"%s\")\n", opened, qPrintable(first));
    std::printf("  scroll to the end: %d pages in %lld ms (%.2f ms a page; last \"%s\")\n", steps, scrolled,
                steps ? double(scrolled) / steps : 0.0, qPrintable(last));
    std::printf("  resident: %.0f MB before, %.0f MB open, %.0f MB at the end (list's share %.0f MB)\n", before, open,
                end, end - before);
    if (withReport) {
        DbSession session(db.ctx());
        QTemporaryDir dir;
        benchReport(session, dir);
    }
    if (withPreview) {
        screen.reset();
        DbSession session(db.ctx());
        benchPreview(session, snapshot);
    }
    std::fflush(stdout);
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QList<int> counts;
    bool withReport = false;
    bool withPreview = false;
    QString snapshot;
    for (const QString& arg : app.arguments().mid(1)) {
        if (arg == QLatin1String("-report"))
            withReport = true;
        else if (arg == QLatin1String("-preview"))
            withPreview = true;
        else if (arg.startsWith(QLatin1String("-snapshot=")))
            snapshot = arg.mid(10);
        else if (arg.toInt() > 0)
            counts << arg.toInt();
    }
    if (counts.isEmpty())
        counts = {5000, 50000};
    for (const int count : counts)
        if (!benchList(count, withReport, withPreview, snapshot))
            return 1;
    return 0;
}
