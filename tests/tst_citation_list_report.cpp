// The citation listing report read through a row walker, as the citation list prints it: the same pages as a
// report holding its rows, rows read again for painting, and rows that vanish in between.
#include "core/masters/listing_report_data.h"
#include "report/citation_listing_report.h"

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
                                     return QString();
                                 });
    QCOMPARE(walked.rowCount(), 120);
    const CitationListingReport held(buildCitationListingData(data, ReportDay));
    QTemporaryDir dir;
    QString error;
    QVERIFY2(walked.renderToPdf(dir.filePath(QStringLiteral("walked.pdf")), &error), qPrintable(error));
    QCOMPARE(walks, 2); // laid out, then painted
    QVERIFY2(held.renderToPdf(dir.filePath(QStringLiteral("held.pdf")), &error), qPrintable(error));
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
                                     return QString();
                                 });
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gone.pdf"));
    QString error;
    QVERIFY2(report.renderToPdf(path, &error), qPrintable(error));
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
                                         return QStringLiteral("server closed the connection");
                                     for (int i = from; i < data.size(); ++i)
                                         fn(i, data[i]);
                                     return QString();
                                 });
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("failed.pdf"));
    QString error;
    QVERIFY(!report.renderToPdf(path, &error));
    QCOMPARE(error, QStringLiteral("server closed the connection"));
    QVERIFY(!QFile::exists(path)); // no half-made file
}

QTEST_MAIN(TestCitationListReport)
#include "tst_citation_list_report.moc"
