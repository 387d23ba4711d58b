// The citation listing report read through a row walker, as the citation list prints it: the same pages as a
// report holding its rows, rows read again for painting, and rows that vanish in between.
#include "core/masters/listing_report_data.h"
#include "report/citation_listing_report.h"
#include "report/report_layout.h"

#include <QBuffer>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QDate ReportDay(2026, 12, 8);

QStringList pdfPages(const QString& path)
{
    const QString reader = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (reader.isEmpty())
        return {};
    QProcess process;
    process.start(reader, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    QStringList pages = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// Short rows, with a judgment longer than a page now and then, so some rows are cut across pages.
QList<QStringList> rows(int count)
{
    QList<QStringList> out;
    for (int i = 0; i < count; ++i) {
        QString judgment = QStringLiteral("J%1 held").arg(i);
        if (i % 37 == 5)
            for (int line = 0; line < 90; ++line)
                judgment += QStringLiteral("\nline %1 of J%2").arg(line).arg(i);
        out.append(
            {QStringLiteral("CIT-%1").arg(i), judgment, QStringLiteral("Case %1").arg(i), QStringLiteral("Jan-2001")});
    }
    return out;
}

// A paint device of the PDF writer's resolution that keeps the text painted on it, in the order painted.
class TextRecorder : public QPaintDevice
{
public:
    class Engine : public QPaintEngine
    {
    public:
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        // Frames and rules are of no interest here.
        void drawRects(const QRectF*, int) override {}
        void drawLines(const QLineF*, int) override {}
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override { text += item.text() + QLatin1Char('\n'); }
        Type type() const override { return User; }
        QString text;
    };

    int devType() const override { return QInternal::CustomRaster; }
    QPaintEngine* paintEngine() const override { return &m_engine; }
    QString text() const { return m_engine.text; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
        case PdmHeight:
            return 20000;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 1200;
        case PdmDepth:
            return 32;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        default:
            return 0;
        }
    }

private:
    mutable Engine m_engine;
};

QStringList citationsIn(const QString& text)
{
    QStringList found;
    const QRegularExpression re(QStringLiteral("CIT-(\\d+)"));
    for (auto it = re.globalMatch(text); it.hasNext();)
        found << it.next().captured(1);
    return found;
}
} // namespace

class TestCitationListReport : public QObject
{
    Q_OBJECT

private slots:
    void walkedReportPrintsAsAHeldOne();
    void rowGoneBeforePaintingLeavesItsPlace();
    void readFailureIsReported();
    void pagesPaintedAloneMatchThePrintedPages();
    void pagePaintReadsOnlyItsRows();
    void layoutStoppedByItsProgress();
};

void TestCitationListReport::walkedReportPrintsAsAHeldOne()
{
    const QList<QStringList> data = rows(120);
    const ListingReportData header = buildCitationListingData({}, ReportDay);
    int walks = 0;
    int maxIndex = -1;
    CitationListingReport walked(header, int(data.size()),
                                 [&](int from, const std::function<bool(int, const QStringList&)>& fn) {
                                     ++walks;
                                     for (int i = from; i < data.size(); ++i) {
                                         maxIndex = std::max(maxIndex, i);
                                         if (!fn(i, data[i]))
                                             break;
                                     }
                                     return Error();
                                 });
    QCOMPARE(walked.rowCount(), 120);
    const CitationListingReport held(buildCitationListingData(data, ReportDay));
    QTemporaryDir dir;
    Error error = walked.renderToPdf(dir.filePath(QStringLiteral("walked.pdf")));
    QVERIFY2(!error, qPrintable(error.description));
    QCOMPARE(walks, 2); // laid out, then painted
    error = held.renderToPdf(dir.filePath(QStringLiteral("held.pdf")));
    QVERIFY2(!error, qPrintable(error.description));
    const QStringList walkedPages = pdfPages(dir.filePath(QStringLiteral("walked.pdf")));
    QVERIFY2(!walkedPages.isEmpty(), "pdftotext (poppler-utils) could not read the report");
    QVERIFY(walkedPages.size() > 5);
    QCOMPARE(walkedPages, pdfPages(dir.filePath(QStringLiteral("held.pdf"))));
    const QString all = walkedPages.join(QLatin1Char('\n'));
    QStringList expected;
    for (int i = 0; i < 120; ++i)
        expected << QString::number(i);
    QCOMPARE(citationsIn(all), expected);
    QVERIFY(all.contains(QStringLiteral("line 89 of J42")));
    QVERIFY(walkedPages.last().contains(QStringLiteral("<< End of Report >>")));
}

void TestCitationListReport::rowGoneBeforePaintingLeavesItsPlace()
{
    const QList<QStringList> data = rows(60);
    int walks = 0;
    CitationListingReport report(buildCitationListingData({}, ReportDay), int(data.size()),
                                 [&](int from, const std::function<bool(int, const QStringList&)>& fn) {
                                     ++walks;
                                     for (int i = from; i < data.size(); ++i) {
                                         // Deleted by someone else between the layout and the painting.
                                         if (walks > 1 && (i == 5 || i == 59))
                                             continue;
                                         if (!fn(i, data[i]))
                                             break;
                                     }
                                     return Error();
                                 });
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gone.pdf"));
    const Error error = report.renderToPdf(path);
    QVERIFY2(!error, qPrintable(error.description));
    const QStringList pages = pdfPages(path);
    QVERIFY2(!pages.isEmpty(), "pdftotext (poppler-utils) could not read the report");
    const QStringList found = citationsIn(pages.join(QLatin1Char('\n')));
    QCOMPARE(found.size(), 58);
    QVERIFY(!found.contains(QStringLiteral("5")) && !found.contains(QStringLiteral("59")));
    QCOMPARE(found.first(), QStringLiteral("0"));
    QCOMPARE(found.last(), QStringLiteral("58"));
    // Every page was still finished, the last with the end of the report.
    const int count = int(pages.size());
    QVERIFY(pages.last().contains(QStringLiteral("<< End of Report >>")));
    QVERIFY(pages.last().contains(QStringLiteral("Page : %1 of %1").arg(count)));
}

void TestCitationListReport::readFailureIsReported()
{
    const QList<QStringList> data = rows(10);
    int walks = 0;
    CitationListingReport report(buildCitationListingData({}, ReportDay), int(data.size()),
                                 [&](int from, const std::function<bool(int, const QStringList&)>& fn) {
                                     if (++walks > 1)
                                         return Error::other(QStringLiteral("server closed the connection"));
                                     for (int i = from; i < data.size(); ++i)
                                         fn(i, data[i]);
                                     return Error();
                                 });
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("failed.pdf"));
    const Error error = report.renderToPdf(path);
    QVERIFY(error);
    QCOMPARE(error.description, QStringLiteral("server closed the connection"));
    QVERIFY(!QFile::exists(path)); // no half-made file
}

void TestCitationListReport::pagesPaintedAloneMatchThePrintedPages()
{
    const QList<QStringList> data = rows(300);
    CitationListingReport report(buildCitationListingData({}, ReportDay), int(data.size()),
                                 [&](int from, const std::function<bool(int, const QStringList&)>& fn) {
                                     for (int i = std::max(from, 0); i < data.size(); ++i)
                                         if (!fn(i, data[i]))
                                             break;
                                     return Error();
                                 });
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("whole.pdf"));
    const Error error = report.renderToPdf(path);
    QVERIFY2(!error, qPrintable(error.description));
    const QStringList printed = pdfPages(path);
    QVERIFY2(!printed.isEmpty(), "pdftotext (poppler-utils) could not read the report");

    // Laid out on the same paper as the file, without painting on it.
    QBuffer sink;
    QVERIFY(sink.open(QIODevice::WriteOnly));
    QPdfWriter writer(&sink);
    writer.setPageSize(QPageSize(QPageSize::A4));
    Result<std::unique_ptr<ReportLayout>> laidOut = report.layOut(&writer);
    QVERIFY2(laidOut, qPrintable(laidOut.error().description));
    const std::unique_ptr<ReportLayout> layout = std::move(*laidOut);
    QCOMPARE(layout->pageCount(), int(printed.size()));
    // Every page alone, out of order, holds the rows and the footer of the same page printed.
    for (int page = layout->pageCount() - 1; page >= 0; --page) {
        TextRecorder recorder;
        QPainter painter(&recorder);
        const Error painted = layout->paintPage(&painter, page);
        QVERIFY2(!painted, qPrintable(painted.description));
        painter.end();
        const QString text = recorder.text();
        QCOMPARE(citationsIn(text), citationsIn(printed[page]));
        QVERIFY(text.contains(QStringLiteral("Page : %1 of %2").arg(page + 1).arg(printed.size())));
        QCOMPARE(text.contains(QStringLiteral("<< End of Report >>")), page == layout->pageCount() - 1);
        QVERIFY(text.contains(QStringLiteral("Citation Listing Report")));
    }
    // A row cut across pages goes on with its next line on the following page.
    const int cut = int(printed.indexOf(QRegularExpression(QStringLiteral("(?s).*line 0 of J42.*"))));
    QVERIFY(cut >= 0);
    QVERIFY(!printed[cut].contains(QStringLiteral("line 89 of J42")));
    TextRecorder next;
    QPainter painter(&next);
    QVERIFY(!layout->paintPage(&painter, cut + 1));
    painter.end();
    QVERIFY(next.text().contains(QStringLiteral("line 89 of J42")));
    QVERIFY(!next.text().contains(QStringLiteral("line 0 of J42")));

    QVERIFY(layout->paintPage(&painter, layout->pageCount()).kind == Error::Kind::NotFound);
    const Result<QImage> none = layout->pageImage(-1, 0.1);
    QVERIFY(!none);
    QVERIFY(none.error().kind == Error::Kind::NotFound);
    QVERIFY(!none.error().description.isEmpty());
}

void TestCitationListReport::pagePaintReadsOnlyItsRows()
{
    const QList<QStringList> data = rows(200);
    QList<int> starts;
    int read = 0;
    bool failing = false;
    CitationListingReport report(buildCitationListingData({}, ReportDay), int(data.size()),
                                 [&](int from, const std::function<bool(int, const QStringList&)>& fn) {
                                     starts << from;
                                     if (failing)
                                         return Error::other(QStringLiteral("server closed the connection"));
                                     for (int i = std::max(from, 0); i < data.size(); ++i) {
                                         ++read;
                                         if (!fn(i, data[i]))
                                             break;
                                     }
                                     return Error();
                                 });
    QBuffer sink;
    QVERIFY(sink.open(QIODevice::WriteOnly));
    QPdfWriter writer(&sink);
    writer.setPageSize(QPageSize(QPageSize::A4));
    Result<std::unique_ptr<ReportLayout>> laidOut = report.layOut(&writer);
    QVERIFY2(laidOut, qPrintable(laidOut.error().description));
    const std::unique_ptr<ReportLayout> layout = std::move(*laidOut);
    QCOMPARE(starts, QList<int>{0});
    const int last = layout->pageCount() - 1;
    starts.clear();
    read = 0;
    const QImage image = layout->pageImage(last, 0.1).valueOr(QImage());
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), (QSizeF(layout->paperRect().size()) * 0.1).toSize());
    // The last page starts near the end and reads a page's worth of rows, not the whole report.
    QCOMPARE(starts.size(), 1);
    QVERIFY(starts[0] > 150);
    QVERIFY(read <= int(data.size()) - starts[0] + 1);
    // The page was drawn on the white sheet, and within the sheet's margins only.
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    QVERIFY(dark > 200);
    QCOMPARE(qGray(image.pixel(0, 0)), 255);

    failing = true;
    const Result<QImage> failed = layout->pageImage(0, 0.1);
    QVERIFY(!failed);
    QCOMPARE(failed.error().description, QStringLiteral("server closed the connection"));
}

void TestCitationListReport::layoutStoppedByItsProgress()
{
    const QList<QStringList> data = rows(100);
    int read = 0;
    CitationListingReport report(buildCitationListingData({}, ReportDay), int(data.size()),
                                 [&](int from, const std::function<bool(int, const QStringList&)>& fn) {
                                     for (int i = std::max(from, 0); i < data.size(); ++i) {
                                         ++read;
                                         if (!fn(i, data[i]))
                                             break;
                                     }
                                     return Error();
                                 });
    QBuffer sink;
    QVERIFY(sink.open(QIODevice::WriteOnly));
    QPdfWriter writer(&sink);
    QList<int> told;
    const Result<std::unique_ptr<ReportLayout>> stopped = report.layOut(&writer, [&](int rows) {
        told << rows;
        return rows < 10;
    });
    QVERIFY(!stopped);
    // Stopped, not failed: nothing to report.
    QVERIFY(stopped.error().kind == Error::Kind::Cancelled);
    QVERIFY(stopped.error().description.isEmpty());
    QCOMPARE(read, 11);
    QCOMPARE(told.first(), 0);
    QCOMPARE(told.last(), 10);

    const Result<std::unique_ptr<ReportLayout>> whole = report.layOut(&writer, [&](int) { return true; });
    QVERIFY(whole);
    QVERIFY(!(*whole)->cancelled());
}

QTEST_MAIN(TestCitationListReport)
#include "tst_citation_list_report.moc"
