#include "datagen/citation_generator.h"
#include "gui/common/file_dialog.h"
#include "gui/common/message_box.h"
#include "gui/common/report_preview.h"
#include "gui/common/report_preview_dialog.h"
#include "report/citation_listing_report.h"
#include "report/master_listing_report.h"
#include "report/report_layout.h"
#include "support/gui_test_support.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPdfWriter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {
const QDate ReportDay(2026, 12, 8);

// Text of a PDF as an independent reader sees it, one entry per page.
QStringList pdfPages(const QString& path)
{
    const QString reader = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (reader.isEmpty())
        qFatal("pdftotext (poppler-utils) is needed to read the reports back");
    QProcess process;
    process.start(reader, {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), path,
                           QStringLiteral("-")});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        qFatal("pdftotext failed on %s", qPrintable(path));
    QStringList pages = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// The first page of a PDF as an independent reader draws it, at one pixel to the point.
QImage pdfFirstPage(const QString& path)
{
    const QString drawer = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (drawer.isEmpty())
        qFatal("pdftoppm (poppler-utils) is needed to draw the reports");
    QProcess process;
    const QString stem = path + QStringLiteral("-page");
    process.start(drawer, {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-f"), QStringLiteral("1"),
                           QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("-singlefile"),
                           QStringLiteral("-png"), path, stem});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        qFatal("pdftoppm failed on %s", qPrintable(path));
    return QImage(stem + QStringLiteral(".png"));
}

QString withoutBlanks(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("\\s+")));
}

QList<QStringList> categoryRows(int count)
{
    // Names run backwards against the ids, so a report that sorted by anything would show it.
    QList<QStringList> rows;
    for (int id = 1; id <= count; ++id)
        rows.append({QString::number(id), QStringLiteral("Category %1").arg(10000 - id)});
    return rows;
}

// Runs check on the first modal window once the event loop shows one, then closes it.
void onModalWindow(const std::function<void(QWidget*)>& check, int attemptsLeft = 200)
{
    QTimer::singleShot(10, qApp, [check, attemptsLeft] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            if (attemptsLeft > 0)
                onModalWindow(check, attemptsLeft - 1);
            return;
        }
        check(modal);
        modal->close();
    });
}
// Notes, for as long as it lives, whether a modal window shows up, and closes it.
class ModalWatch
{
public:
    ModalWatch()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                m_seen = true;
                modal->close();
            }
        });
        m_timer.start();
    }
    bool seen() const { return m_seen; }

private:
    QTimer m_timer;
    bool m_seen = false;
};
} // namespace

class ListingReportTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void longListingHasEveryPartOnEveryPage();
    void namesSurviveWrappingQuotesAndAccents();
    void rowTallerThanAPageIsCutWithoutLoss();
    void courtListingShowsTitleNotCaption();
    void citationListingFromWrittenRows();
    void emptyListingSaysSoAndOpensNothing();
    void paperTooNarrowIsRefused();
    void pageHasEqualSideMargins_data();
    void pageHasEqualSideMargins();
    void unwritablePdfFailsCleanly();
    void printsOnAPrinterLikeTheFile();
    void previewWindowSavesAsPdf();
    void heldRowsWalkFromAnyRow();
    void previewPagesThroughDrawingEachPageShown();
    void layoutInPartsGivesTheSamePages_data();
    void layoutInPartsGivesTheSamePages();
    void previewShowsFirstPagesWhileTheRestIsLaidOut();

private:
    QTemporaryDir m_dir;
};

void ListingReportTest::init()
{
    QVERIFY(m_dir.isValid());
    MessageBox::setScripted(true);
    MessageBox::clearShown();
}

void ListingReportTest::longListingHasEveryPartOnEveryPage()
{
    const QList<QStringList> rows = categoryRows(400);
    const MasterListingReport report(buildMasterListingData(MasterKind::Category, rows, ReportDay));
    const QString path = m_dir.filePath(QStringLiteral("category.pdf"));
    Error error;
    error = report.renderToPdf(path);
    QVERIFY2(!error, qPrintable(error.description));

    const QStringList pages = pdfPages(path);
    const int n = int(pages.size());
    QVERIFY2(n >= 3, qPrintable(QStringLiteral("only %1 pages").arg(n)));
    QPdfWriter writer(m_dir.filePath(QStringLiteral("count.pdf")));
    QCOMPARE(report.pageCount(&writer).valueOr(-1), n);

    const QRegularExpression headings(QStringLiteral("^\\s*Id\\s+Category\\s*$"), QRegularExpression::MultilineOption);
    for (int p = 0; p < n; ++p) {
        const QString& page = pages[p];
        QVERIFY2(page.contains(QStringLiteral("Category Listing Report")), qPrintable(page));
        QVERIFY(page.contains(QStringLiteral("Date:08-Dec-2026")));
        QVERIFY2(headings.match(page).hasMatch(), qPrintable(page));
        QVERIFY2(page.contains(QStringLiteral("Page : %1 of %2").arg(p + 1).arg(n)), qPrintable(page));
        QVERIFY(page.contains(QStringLiteral("This report is done by Morvane.")));
        QCOMPARE(page.count(QStringLiteral("<< End of Report >>")), p == n - 1 ? 1 : 0);
    }

    // Every row once, id beside its own name, in the order given, and the end marker after the last row.
    const QString all = pages.join(QLatin1Char('\n'));
    qsizetype last = -1;
    for (const QStringList& row : rows) {
        const QRegularExpression line(QStringLiteral("^\\s*%1\\s+%2\\s*$").arg(row[0], row[1]),
                                      QRegularExpression::MultilineOption);
        const QRegularExpressionMatch match = line.match(all);
        QVERIFY2(match.hasMatch(), qPrintable(row.join(QLatin1Char(' '))));
        QVERIFY2(match.capturedStart() > last, qPrintable(row[0]));
        QCOMPARE(all.count(row[1]), 1);
        last = match.capturedStart();
    }
    QVERIFY(all.indexOf(QStringLiteral("<< End of Report >>")) > last);
}

void ListingReportTest::namesSurviveWrappingQuotesAndAccents()
{
    QStringList words;
    for (int i = 1; i <= 60; ++i)
        words << QStringLiteral("word%1").arg(i);
    const QString longName = words.join(QLatin1Char(' '));
    const QString unbroken = QStringLiteral("x").repeated(300) + QStringLiteral("END");
    const QList<QStringList> rows{{QStringLiteral("1"), QStringLiteral("Müller's Court")},
                                  {QStringLiteral("2"), longName},
                                  {QStringLiteral("3"), QStringLiteral("O'Brien & Sons <Ltd> \"Ünïcode\"")},
                                  {QStringLiteral("4"), unbroken}};
    const MasterListingReport report(buildMasterListingData(MasterKind::Category, rows, ReportDay));
    const QString path = m_dir.filePath(QStringLiteral("names.pdf"));
    Error error;
    error = report.renderToPdf(path);
    QVERIFY2(!error, qPrintable(error.description));

    const QString text = pdfPages(path).join(QLatin1Char('\n'));
    QVERIFY2(text.contains(QStringLiteral("Müller's Court")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("O'Brien & Sons <Ltd> \"Ünïcode\"")));
    // The long names wrap over several lines but lose nothing and keep their order.
    QVERIFY2(text.count(QLatin1Char('\n')) > 0 && !text.contains(longName), "the long name did not wrap");
    const QString flat = withoutBlanks(text);
    QVERIFY(flat.contains(QStringLiteral("2") + withoutBlanks(longName)));
    QVERIFY(flat.contains(QStringLiteral("4") + unbroken));
}

void ListingReportTest::rowTallerThanAPageIsCutWithoutLoss()
{
    QStringList lines;
    for (int i = 1; i <= 150; ++i)
        lines << QStringLiteral("Line %1 of the tall row").arg(i, 3, 10, QLatin1Char('0'));
    const QList<QStringList> rows{{QStringLiteral("1"), QStringLiteral("Before")},
                                  {QStringLiteral("2"), lines.join(QLatin1Char('\n'))},
                                  {QStringLiteral("3"), QStringLiteral("After")}};
    const MasterListingReport report(buildMasterListingData(MasterKind::Act, rows, ReportDay));
    const QString path = m_dir.filePath(QStringLiteral("tall.pdf"));
    Error error;
    error = report.renderToPdf(path);
    QVERIFY2(!error, qPrintable(error.description));

    const QStringList pages = pdfPages(path);
    QVERIFY(pages.size() >= 3);
    const QString all = pages.join(QLatin1Char('\n'));
    qsizetype last = all.indexOf(QStringLiteral("Before"));
    QVERIFY(last >= 0);
    for (const QString& line : lines) {
        QCOMPARE(all.count(line), 1);
        QVERIFY2(all.indexOf(line) > last, qPrintable(line));
        last = all.indexOf(line);
    }
    QVERIFY(all.indexOf(QStringLiteral("After")) > last);
    for (const QString& page : pages)
        QVERIFY(page.contains(QStringLiteral("Act Listing Report")));
}

void ListingReportTest::courtListingShowsTitleNotCaption()
{
    const MasterListingReport report(
        buildMasterListingData(MasterKind::Court, {{QStringLiteral("1"), QStringLiteral("High Court")}}, ReportDay));
    QCOMPARE(report.caption(), QStringLiteral("Court Name Listing Report"));
    const QString path = m_dir.filePath(QStringLiteral("court.pdf"));
    Error error;
    error = report.renderToPdf(path);
    QVERIFY2(!error, qPrintable(error.description));
    const QStringList pages = pdfPages(path);
    QCOMPARE(pages.size(), 1);
    QVERIFY(pages[0].contains(QStringLiteral("Court Names Listing Report")));
    QVERIFY(pages[0].contains(QStringLiteral("Page : 1 of 1")));
    QVERIFY(QRegularExpression(QStringLiteral("^\\s*Id\\s+Court\\s*$"), QRegularExpression::MultilineOption)
                .match(pages[0])
                .hasMatch());
}

void ListingReportTest::citationListingFromWrittenRows()
{
    const QString judgment = QStringLiteral(
        "The appeal is allowed; the order of the lower court is set aside and the matter is remitted for a fresh "
        "hearing on the question of limitation, which was never argued below.");
    const QList<QStringList> rows{
        {QStringLiteral("2019 SCC 101"), judgment, QStringLiteral("State v. Müller"), reportMonthYear({2019, 3, 5})},
        {QStringLiteral("2001 AIR 7"), QStringLiteral("Dismissed."), QStringLiteral("Roe v. Doe"),
         reportMonthYear({2001, 11, 30})}};
    const CitationListingReport report(buildCitationListingData(rows, ReportDay));
    QCOMPARE(report.name(), QStringLiteral("CS06100201"));
    const QString path = m_dir.filePath(QStringLiteral("citations.pdf"));
    Error error;
    error = report.renderToPdf(path);
    QVERIFY2(!error, qPrintable(error.description));

    const QStringList pages = pdfPages(path);
    QCOMPARE(pages.size(), 1);
    const QString& page = pages[0];
    QVERIFY(page.contains(QStringLiteral("Citation Listing Report")));
    QVERIFY(page.contains(QStringLiteral("Date:08-Dec-2026")));
    QVERIFY2(QRegularExpression(QStringLiteral("^\\s*Citation\\s+Judgment\\s+Case\\s+Date\\s*$"),
                                QRegularExpression::MultilineOption)
                 .match(page)
                 .hasMatch(),
             qPrintable(page));
    QVERIFY(QRegularExpression(QStringLiteral("2019 SCC 101\\s+The appeal.*State v\\. Müller\\s+Mar-2019"))
                .match(page)
                .hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral("2001 AIR 7\\s+Dismissed\\.\\s+Roe v\\. Doe\\s+Nov-2001"))
                .match(page)
                .hasMatch());
    QVERIFY(page.indexOf(QStringLiteral("2019 SCC 101")) < page.indexOf(QStringLiteral("2001 AIR 7")));
    // The judgment wraps inside its column; the words of the whole text are all there, in order.
    QVERIFY(!page.contains(judgment));
    const QStringList judgmentWords = judgment.split(QLatin1Char(' '));
    qsizetype at = 0;
    for (const QString& word : judgmentWords) {
        at = page.indexOf(word, at);
        QVERIFY2(at >= 0, qPrintable(word));
    }
    QVERIFY(page.contains(QStringLiteral("Page : 1 of 1")));
    QVERIFY(page.contains(QStringLiteral("This report is done by Morvane.")));
    QCOMPARE(page.count(QStringLiteral("<< End of Report >>")), 1);
}

void ListingReportTest::emptyListingSaysSoAndOpensNothing()
{
    const ModalWatch watch;
    MasterListingReport report(buildMasterListingData(MasterKind::Category, {}, ReportDay));
    // A window would have been shown, and seen, before exec returned.
    ReportPreview::exec(nullptr, report);
    QVERIFY(!watch.seen());
    for (QWidget* widget : QApplication::topLevelWidgets())
        QVERIFY2(!widget->isVisible(), qPrintable(widget->objectName()));
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown()[0].text, QStringLiteral("No records are found."));
    QCOMPARE(MessageBox::shown()[0].title, QStringLiteral("Lexorium"));
    QCOMPARE(MessageBox::shown()[0].icon, MessageBox::Icon::Information);
}

void ListingReportTest::paperTooNarrowIsRefused()
{
    // Two inches wide: less than the Id and name columns need once the margins are taken.
    const QPageSize narrow(QSizeF(2, 11), QPageSize::Inch, QStringLiteral("Narrow"));
    MasterListingReport report(buildMasterListingData(MasterKind::Act, categoryRows(3), ReportDay));
    report.setPaper(narrow);

    const QString path = m_dir.filePath(QStringLiteral("narrow.pdf"));
    Error error;
    error = report.renderToPdf(path);
    QVERIFY(error);
    QCOMPARE(error.description, QStringLiteral("Please Check your Printer paper settings."));
    QVERIFY(!QFile::exists(path));

    const ModalWatch watch;
    ReportPreview::exec(nullptr, report);
    QVERIFY(!watch.seen());
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown()[0].text, QStringLiteral("Please Check your Printer paper settings."));
    QCOMPARE(MessageBox::shown()[0].title, QStringLiteral("Act Listing Report"));
    QCOMPARE(MessageBox::shown()[0].icon, MessageBox::Icon::Information);

    // The same report fits on ordinary paper turned sideways or not.
    report.setPaper(QPageSize(QPageSize::A4), QPageLayout::Landscape);
    error = report.renderToPdf(path);
    QVERIFY2(!error, qPrintable(error.description));
}

void ListingReportTest::pageHasEqualSideMargins_data()
{
    QTest::addColumn<bool>("citations");
    QTest::addColumn<int>("orientation");
    QTest::newRow("master listing, A4 upright") << false << int(QPageLayout::Portrait);
    QTest::newRow("master listing, A4 sideways") << false << int(QPageLayout::Landscape);
    QTest::newRow("citation listing, A4 upright") << true << int(QPageLayout::Portrait);
}

void ListingReportTest::pageHasEqualSideMargins()
{
    QFETCH(bool, citations);
    QFETCH(int, orientation);
    const QList<QStringList> cited{{QStringLiteral("2019 SCC 101"), QStringLiteral("Allowed."),
                                    QStringLiteral("State v. Khan"), reportMonthYear({2019, 3, 5})}};
    std::unique_ptr<ListingReport> report;
    if (citations)
        report = std::make_unique<CitationListingReport>(buildCitationListingData(cited, ReportDay));
    else
        report = std::make_unique<MasterListingReport>(
            buildMasterListingData(MasterKind::Category, categoryRows(30), ReportDay));
    report->setPaper(QPageSize(QPageSize::A4), QPageLayout::Orientation(orientation));
    const QString path = m_dir.filePath(QStringLiteral("margins.pdf"));
    Error error;
    error = report->renderToPdf(path);
    QVERIFY2(!error, qPrintable(error.description));

    const QImage page = pdfFirstPage(path);
    QVERIFY(!page.isNull());
    const QSizeF a4 = QPageSize(QPageSize::A4).size(QPageSize::Point);
    const QSize expected = orientation == QPageLayout::Portrait ? a4.toSize() : a4.transposed().toSize();
    QVERIFY(qAbs(page.width() - expected.width()) <= 1 && qAbs(page.height() - expected.height()) <= 1);
    QRect drawn;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 200)
                drawn |= QRect(x, y, 1, 1);
    // The frame, rules and texts inside the page, 700 twips (35 points) from either side.
    const int left = drawn.left();
    const int right = page.width() - 1 - drawn.right();
    QVERIFY2(qAbs(left - right) <= 1, qPrintable(QStringLiteral("left %1, right %2").arg(left).arg(right)));
    QVERIFY2(qAbs(left - 35) <= 1, qPrintable(QStringLiteral("left %1").arg(left)));
    QVERIFY(drawn.top() > 0 && drawn.bottom() < page.height() - 1);
}

void ListingReportTest::unwritablePdfFailsCleanly()
{
    const MasterListingReport report(buildMasterListingData(MasterKind::Category, categoryRows(2), ReportDay));
    Error error;
    error = report.renderToPdf(m_dir.filePath(QStringLiteral("missing/folder/report.pdf")));
    QVERIFY(error.kind == Error::Kind::Io);
    QVERIFY(!error.description.isEmpty());

    // A failed render leaves an existing file as it was.
    const QString existing = m_dir.filePath(QStringLiteral("kept.pdf"));
    QFile file(existing);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("kept");
    file.close();
    MasterListingReport narrow(buildMasterListingData(MasterKind::Category, categoryRows(2), ReportDay));
    narrow.setPaper(QPageSize(QSizeF(1, 4), QPageSize::Inch, QStringLiteral("Tiny")));
    QVERIFY(narrow.renderToPdf(existing));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("kept"));
}

void ListingReportTest::printsOnAPrinterLikeTheFile()
{
    const MasterListingReport report(buildMasterListingData(MasterKind::Category, categoryRows(150), ReportDay));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    const QString printed = m_dir.filePath(QStringLiteral("printed.pdf"));
    printer.setOutputFileName(printed);
    Error error;
    error = report.print(&printer);
    QVERIFY2(!error, qPrintable(error.description));

    const QString written = m_dir.filePath(QStringLiteral("written.pdf"));
    error = report.renderToPdf(written);
    QVERIFY2(!error, qPrintable(error.description));
    const QStringList printedPages = pdfPages(printed);
    QCOMPARE(printedPages.size(), pdfPages(written).size());
    QVERIFY(printedPages.size() > 1);
    QVERIFY(printedPages.last().contains(QStringLiteral("Page : %1 of %1").arg(printedPages.size())));
    QVERIFY(printedPages.last().contains(QStringLiteral("<< End of Report >>")));
}

void ListingReportTest::previewWindowSavesAsPdf()
{
    MasterListingReport report(buildMasterListingData(MasterKind::Court, categoryRows(60), ReportDay));
    const QString saved = m_dir.filePath(QStringLiteral("saved"));
    const QString unwritable = m_dir.filePath(QStringLiteral("no/such/folder/x.pdf"));
    FileDialog::setScripted(true);
    FileDialog::setNextFileName(saved);
    FileDialog::setNextFileName(unwritable);
    FileDialog::clearAsked();

    QString objectName;
    QString title;
    bool saveFound = false;
    onModalWindow([&](QWidget* window) {
        objectName = window->objectName();
        title = window->windowTitle();
        QVERIFY(qobject_cast<ReportPreviewDialog*>(window));
        auto* save = window->findChild<QAction*>(QStringLiteral("SaveAsPdf"));
        saveFound = save;
        if (save) {
            save->trigger();
            save->trigger();
        }
    });
    ReportPreview::exec(nullptr, report);

    QCOMPARE(objectName, QStringLiteral("CS06100101"));
    QCOMPARE(title, QStringLiteral("Court Name Listing Report"));
    QVERIFY(saveFound);
    QCOMPARE(FileDialog::asked().size(), 2);
    QCOMPARE(FileDialog::asked()[0].caption, QStringLiteral("Save as PDF"));
    FileDialog::setScripted(false);

    // ".pdf" is added when the name has no suffix.
    const QStringList pages = pdfPages(saved + QStringLiteral(".pdf"));
    QVERIFY(!pages.isEmpty());
    QVERIFY(pages[0].contains(QStringLiteral("Court Names Listing Report")));
    QVERIFY(pages.last().contains(QStringLiteral("<< End of Report >>")));

    // The failed second save is reported under the report's caption.
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown()[0].title, QStringLiteral("Court Name Listing Report"));
    QVERIFY(!MessageBox::shown()[0].text.isEmpty());
}

void ListingReportTest::heldRowsWalkFromAnyRow()
{
    const QList<QStringList> rows = categoryRows(7);
    const MasterListingReport report(buildMasterListingData(MasterKind::Category, rows, ReportDay));
    const ListingRowWalker walker = report.rowWalker();
    QList<int> all;
    QVERIFY(!walker(0, [&](int index, const QStringList& row) {
        all << index;
        return row == rows[index];
    }));
    QCOMPARE(all, (QList<int>{0, 1, 2, 3, 4, 5, 6}));
    for (const int start : {-1, 1, 6, 7, 30}) {
        QList<int> from;
        QVERIFY(!walker(start, [&](int index, const QStringList& row) {
            from << index;
            return row == rows[index];
        }));
        QList<int> expected;
        for (const int index : all)
            if (index >= start)
                expected << index;
        QCOMPARE(from, expected);
    }
    QList<int> stopped;
    walker(2, [&](int index, const QStringList&) {
        stopped << index;
        return index < 3;
    });
    QCOMPARE(stopped, (QList<int>{2, 3}));
}

void ListingReportTest::previewPagesThroughDrawingEachPageShown()
{
    // A few hundred generated citations, each row read through a walker that counts what it is asked for.
    CitationGenerator generator(11);
    QList<QStringList> rows;
    for (int i = 0; i < 250; ++i) {
        const Citation c = generator.next();
        rows.append({c.citation, c.text(Citation::Judgment), c.caseTitle, reportMonthYear(c.judgmentDate)});
    }
    int rowsRead = 0;
    const CitationListingReport report(buildCitationListingData({}, ReportDay), int(rows.size()),
                                       [&](int from, const std::function<bool(int, const QStringList&)>& fn) {
                                           for (int i = std::max(from, 0); i < rows.size(); ++i) {
                                               ++rowsRead;
                                               if (!fn(i, rows[i]))
                                                   break;
                                           }
                                           return Error();
                                       });
    // The report's own layout on the same paper, to draw the pages the preview should show.
    QPrinter printer(QPrinter::HighResolution);
    Result<std::unique_ptr<ReportLayout>> laidOut = report.layOut(&printer);
    QVERIFY2(laidOut, qPrintable(laidOut.error().description));
    const std::unique_ptr<ReportLayout> own = std::move(*laidOut);
    const int pages = own->pageCount();
    QVERIFY(pages > 20);

    QStringList boxTexts;
    QList<int> shown;
    int readForLastPage = -1;
    bool sameAsOwn = false;
    bool differsFromNext = false;
    bool zoomedBigger = false;
    bool fitsPage = false;
    bool fitsWidth = false;
    onModalWindow([&](QWidget* window) {
        auto* preview = qobject_cast<ReportPreviewDialog*>(window);
        QVERIFY(preview);
        LEX_FIND(box, QSpinBox, window, QStringLiteral("PageNumber"));
        LEX_FIND(area, QScrollArea, window, QStringLiteral("PreviewArea"));
        // The pages after the first are laid out while the window is open; these steps start once they are.
        QVERIFY(QTest::qWaitFor([preview] { return preview->isLaidOut(); }));
        const auto note = [&] {
            boxTexts << box->text();
            shown << preview->currentPage();
        };
        const auto trigger = [&](const char* name) {
            auto* action = window->findChild<QAction*>(QLatin1String(name));
            QVERIFY2(action, name);
            action->trigger();
            note();
        };
        note();
        trigger("NextPage");
        rowsRead = 0;
        trigger("LastPage");
        readForLastPage = rowsRead;
        trigger("NextPage");
        trigger("PreviousPage");
        trigger("FirstPage");
        trigger("PreviousPage");
        box->setValue(5);
        note();

        const qreal scale = preview->zoom() * preview->logicalDpiX() / own->resolution();
        sameAsOwn = preview->shownImage() == own->pageImage(4, scale).valueOr(QImage());
        differsFromNext = preview->shownImage() != own->pageImage(5, scale).valueOr(QImage());

        trigger("FitPage");
        const QSize room = area->maximumViewportSize();
        fitsPage = preview->shownImage().height() <= room.height() && preview->shownImage().width() <= room.width();
        const int pageWidth = preview->shownImage().width();
        trigger("ZoomIn");
        zoomedBigger = preview->shownImage().width() > pageWidth && preview->fit() == ReportPreviewDialog::Fit::None;
        trigger("FitWidth");
        fitsWidth = preview->shownImage().width() <= room.width() && preview->shownImage().width() > room.width() / 2;
    });
    ReportPreview::exec(nullptr, report);

    const auto of = [pages](int page) {
        return QStringLiteral("%1 of %2").arg(page).arg(pages);
    };
    QCOMPARE(boxTexts.mid(0, 7), (QStringList{of(1), of(2), of(pages), of(pages), of(pages - 1), of(1), of(1)}));
    QCOMPARE(shown.mid(0, 8), (QList<int>{1, 2, pages, pages, pages - 1, 1, 1, 5}));
    QCOMPARE(boxTexts[7], of(5));
    // The last page read only its own rows, not the report up to it.
    QVERIFY(readForLastPage > 0);
    QVERIFY(readForLastPage < 10);
    QVERIFY(sameAsOwn);
    QVERIFY(differsFromNext);
    QVERIFY(fitsPage);
    QVERIFY(zoomedBigger);
    QVERIFY(fitsWidth);
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

namespace {
// Generated citations as the citation listing lists them, read through a walker that counts the rows asked for.
struct GeneratedRows {
    QList<QStringList> rows;
    int read = 0;

    explicit GeneratedRows(int count)
    {
        CitationGenerator generator(23);
        for (int i = 0; i < count; ++i) {
            const Citation c = generator.next();
            rows.append({c.citation, c.text(Citation::Judgment), c.caseTitle, reportMonthYear(c.judgmentDate)});
        }
    }
    ListingRowWalker walker()
    {
        return [this](int from, const std::function<bool(int, const QStringList&)>& fn) {
            for (int i = std::max(from, 0); i < rows.size(); ++i) {
                ++read;
                if (!fn(i, rows[i]))
                    break;
            }
            return Error();
        };
    }
};
} // namespace

void ListingReportTest::layoutInPartsGivesTheSamePages_data()
{
    QTest::addColumn<int>("rowsPerPart");
    QTest::newRow("one row at a time") << 1;
    QTest::newRow("seven") << 7;
    QTest::newRow("more than a page") << 40;
}

void ListingReportTest::layoutInPartsGivesTheSamePages()
{
    QFETCH(int, rowsPerPart);
    GeneratedRows source(120);
    const CitationListingReport report(buildCitationListingData({}, ReportDay), int(source.rows.size()),
                                       source.walker());
    QPrinter printer(QPrinter::HighResolution);
    Result<std::unique_ptr<ReportLayout>> whole = report.layOut(&printer);
    QVERIFY2(whole, qPrintable(whole.error().description));
    Result<std::unique_ptr<ReportLayout>> parts = report.beginLayOut(&printer);
    QVERIFY2(parts, qPrintable(parts.error().description));

    int turns = 0;
    int ready = 0;
    for (;;) {
        const Result<bool> done = (*parts)->layOutMore(rowsPerPart);
        QVERIFY2(done, qPrintable(done.error().description));
        ++turns;
        // Pages once done stay done; until the end the count is marked as not final.
        QVERIFY((*parts)->pagesReady() >= ready);
        ready = (*parts)->pagesReady();
        QCOMPARE((*parts)->rowsLaidOut(), std::min(turns * rowsPerPart, int(source.rows.size())));
        if (*done)
            break;
        QCOMPARE((*parts)->pageCountText(), QString::number((*parts)->pageCount()) + QLatin1Char('+'));
        QVERIFY(turns <= int(source.rows.size()));
    }
    QVERIFY(turns > 1);
    QCOMPARE((*parts)->pageCount(), (*whole)->pageCount());
    QCOMPARE((*parts)->pagesReady(), (*whole)->pageCount());
    QCOMPARE((*parts)->pageCountText(), QString::number((*whole)->pageCount()));
    QVERIFY((*whole)->pageCount() > 3);
    // Every page drawn the same, its footer's "Page : N of M" included.
    for (int page = 0; page < (*whole)->pageCount(); ++page)
        QVERIFY2((*parts)->pageImage(page, 0.15).valueOr(QImage()) == (*whole)->pageImage(page, 0.15).valueOr(QImage()),
                 qPrintable(QString::number(page + 1)));
}

void ListingReportTest::previewShowsFirstPagesWhileTheRestIsLaidOut()
{
    GeneratedRows source(400);
    const CitationListingReport report(buildCitationListingData({}, ReportDay), int(source.rows.size()),
                                       source.walker());
    QPrinter printer(QPrinter::HighResolution);
    Result<std::unique_ptr<ReportLayout>> own = report.layOut(&printer);
    QVERIFY2(own, qPrintable(own.error().description));
    const int pages = (*own)->pageCount();
    Result<std::unique_ptr<ReportLayout>> begun = report.beginLayOut(&printer);
    QVERIFY2(begun, qPrintable(begun.error().description));
    // Laid out as far as the second page only, as the window gets it.
    while ((*begun)->pagesReady() < 2)
        QVERIFY(*(*begun)->layOutMore(1) == false);
    const int known = (*begun)->pageCount();

    ReportPreviewDialog preview(report, &printer, std::move(*begun));
    LEX_FIND(box, QSpinBox, &preview, QStringLiteral("PageNumber"));
    QCOMPARE(box->text(), QStringLiteral("1 of %1+").arg(known));
    QVERIFY(!preview.isLaidOut());
    preview.show();

    // The last page is waited for while the layout goes on, and then shown.
    preview.lastPage();
    QCOMPARE(preview.currentPage(), 1);
    QVERIFY(QTest::qWaitFor([&preview, pages] { return preview.currentPage() == pages; }, 60000));
    QVERIFY(preview.isLaidOut());
    QCOMPARE(box->text(), QStringLiteral("%1 of %1").arg(pages));
    const qreal scale = preview.zoom() * preview.logicalDpiX() / (*own)->resolution();
    QVERIFY(preview.shownImage() == (*own)->pageImage(pages - 1, scale).valueOr(QImage()));
    // The first page again, drawn now with the final count.
    preview.firstPage();
    QVERIFY(preview.shownImage() == (*own)->pageImage(0, scale).valueOr(QImage()));
    QVERIFY(MessageBox::shown().isEmpty());
}

QTEST_MAIN(ListingReportTest)
#include "tst_listing_report.moc"
