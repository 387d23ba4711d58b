#include "core/masters/listing_report_data.h"
#include "core/masters/master_listing.h"

#include <QLocale>
#include <QTest>

class ListingReportDataTest : public QObject
{
    Q_OBJECT

private slots:
    void dateLabelIsEnglishWhateverTheLocale_data();
    void dateLabelIsEnglishWhateverTheLocale();
    void masterListings_data();
    void masterListings();
    void citationListingData();
};

void ListingReportDataTest::dateLabelIsEnglishWhateverTheLocale_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("monthYear");
    QTest::newRow("single-digit day") << QDate(2026, 12, 8) << QStringLiteral("Date:08-Dec-2026")
                                      << QStringLiteral("Dec-2026");
    QTest::newRow("March, which German spells differently")
        << QDate(2031, 3, 31) << QStringLiteral("Date:31-Mar-2031") << QStringLiteral("Mar-2031");
}

void ListingReportDataTest::dateLabelIsEnglishWhateverTheLocale()
{
    QFETCH(QDate, date);
    QFETCH(QString, label);
    QFETCH(QString, monthYear);
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString shownLabel = reportDateLabel(date);
    const QString shownMonthYear = reportMonthYear(date);
    QLocale::setDefault(before);
    QCOMPARE(shownLabel, label);
    QCOMPARE(shownMonthYear, monthYear);
}

void ListingReportDataTest::masterListings_data()
{
    QTest::addColumn<MasterKind>("kind");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QString>("column");
    QTest::newRow("category") << MasterKind::Category << QStringLiteral("SELECT * FROM category_master ORDER BY id ASC")
                              << QStringLiteral("Category Listing Report") << QStringLiteral("Category Listing Report")
                              << QStringLiteral("Category") << QStringLiteral("category");
    QTest::newRow("court: caption and title differ")
        << MasterKind::Court << QStringLiteral("SELECT * FROM court_master ORDER BY id ASC")
        << QStringLiteral("Court Name Listing Report") << QStringLiteral("Court Names Listing Report")
        << QStringLiteral("Court") << QStringLiteral("court_name");
    QTest::newRow("act") << MasterKind::Act << QStringLiteral("SELECT * FROM act_master ORDER BY id ASC")
                         << QStringLiteral("Act Listing Report") << QStringLiteral("Act Listing Report")
                         << QStringLiteral("Act") << QStringLiteral("act");
}

void ListingReportDataTest::masterListings()
{
    QFETCH(MasterKind, kind);
    QFETCH(QString, query);
    QFETCH(QString, caption);
    QFETCH(QString, title);
    QFETCH(QString, heading);
    QFETCH(QString, column);
    const MasterListing listing = masterListing(kind);
    QCOMPARE(listing.query, query);
    QCOMPARE(listing.caption, caption);
    QCOMPARE(listing.title, title);
    QCOMPARE(listing.nameHeading, heading);
    QCOMPARE(listing.nameColumn, column);

    const QList<QStringList> rows{{QStringLiteral("2"), QStringLiteral("b")},
                                  {QStringLiteral("1"), QStringLiteral("a")}};
    const ListingReportData data = buildMasterListingData(kind, rows, QDate(2026, 12, 8));
    QCOMPARE(data.caption, caption);
    QCOMPARE(data.title, title);
    QCOMPARE(data.headings, QStringList({QStringLiteral("Id"), heading}));
    QCOMPARE(data.rows, rows);
    QCOMPARE(data.date, QDate(2026, 12, 8));
}

void ListingReportDataTest::citationListingData()
{
    const ListingReportData data = buildCitationListingData({}, QDate(2026, 1, 2));
    QCOMPARE(data.title, QStringLiteral("Citation Listing Report"));
    QCOMPARE(data.headings, QStringList({QStringLiteral("Citation"), QStringLiteral("Judgment"), QStringLiteral("Case"),
                                         QStringLiteral("Date")}));
    QVERIFY(data.rows.isEmpty());
}

QTEST_GUILESS_MAIN(ListingReportDataTest)
#include "tst_listing_report_data.moc"
