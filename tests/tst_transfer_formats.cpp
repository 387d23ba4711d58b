#include "core/transfer/csl_json_mapping.h"
#include "core/transfer/csl_json_reader.h"
#include "core/transfer/csv_citation_writer.h"
#include "core/transfer/csv_record_reader.h"
#include "core/transfer/transfer_columns.h"
#include "core/transfer/transfer_format.h"
#include "core/transfer/xlsx_citation_reader.h"

#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The file forms of the import and export without a database: how CSV records are cut, dates and lists read,
// columns matched, CSL-JSON items cut out of a stream and mapped.
class TstTransferFormats : public QObject
{
    Q_OBJECT

private slots:
    void formatByEnding_data();
    void formatByEnding();
    void csvRecords_data();
    void csvRecords();
    void csvFieldAcrossBlocks();
    void csvWriterQuotesWhatItMust();
    void dates_data();
    void dates();
    void columnsMatch_data();
    void columnsMatch();
    void rowCells();
    void sheetReferencesAndSerialDates();
    void jsonItemsCutFromStream();
    void cslMapping();
};

void TstTransferFormats::formatByEnding_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("format"); // -1: none
    QTest::newRow("csv") << u"cases.csv"_s << int(TransferFormat::Csv);
    QTest::newRow("CSV upper") << u"CASES.CSV"_s << int(TransferFormat::Csv);
    QTest::newRow("xlsx") << u"a/b.Xlsx"_s << int(TransferFormat::Xlsx);
    QTest::newRow("json") << u"export.json"_s << int(TransferFormat::CslJson);
    QTest::newRow("xls is not") << u"old.xls"_s << -1;
    QTest::newRow("no ending") << u"csv"_s << -1;
    QTest::newRow("txt") << u"cases.csv.txt"_s << -1;
}

void TstTransferFormats::formatByEnding()
{
    QFETCH(QString, name);
    QFETCH(int, format);
    const std::optional<TransferFormat> got = transferFormatOf(name);
    QCOMPARE(got ? int(*got) : -1, format);
}

void TstTransferFormats::csvRecords_data()
{
    // Records as "line:field|field", one per record the reader gives.
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("records");
    QTest::newRow("plain LF") << QByteArray("a,b\nc,d\n") << QStringList{u"1:a|b"_s, u"2:c|d"_s};
    QTest::newRow("CRLF, no last break") << QByteArray("a,b\r\nc,d") << QStringList{u"1:a|b"_s, u"2:c|d"_s};
    QTest::newRow("lone CR") << QByteArray("a\rb\r") << QStringList{u"1:a"_s, u"2:b"_s};
    QTest::newRow("quoted comma and quotes")
        << QByteArray("\"x, y\",\"say \"\"hi\"\"\"\n") << QStringList{u"1:x, y|say \"hi\""_s};
    QTest::newRow("quoted line breaks count lines")
        << QByteArray("\"one\ntwo\",z\r\n\"three\r\nfour\r\nfive\"\nlast\n")
        << QStringList{u"1:one\ntwo|z"_s, u"3:three\r\nfour\r\nfive"_s, u"6:last"_s};
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF"
                                                   "citation\n")
                                     << QStringList{u"1:citation"_s};
    QTest::newRow("empty fields") << QByteArray(",,\n\"\",x\n") << QStringList{u"1:||"_s, u"2:|x"_s};
    QTest::newRow("blank line kept as a record") << QByteArray("a\n\nb\n") << QStringList{u"1:a"_s, u"2:"_s, u"3:b"_s};
    QTest::newRow("quote inside a bare field") << QByteArray("5\" pipe,x\n") << QStringList{u"1:5\" pipe|x"_s};
    QTest::newRow("non-Latin") << QByteArray("\"Ωμέγα, 法官\",न्याय\n") << QStringList{u"1:Ωμέγα, 法官|न्याय"_s};
}

void TstTransferFormats::csvRecords()
{
    QFETCH(QByteArray, input);
    QFETCH(QStringList, records);
    QBuffer buffer(&input);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    CsvRecordReader reader(buffer);
    QStringList got;
    CsvRecordReader::Record r;
    while (reader.next(&r)) {
        QStringList texts;
        QVERIFY(CsvRecordReader::decode(r.fields, &texts));
        QVERIFY(!r.unclosedQuote);
        got << QString::number(r.line) + QLatin1Char(':') + texts.join(QLatin1Char('|'));
    }
    QCOMPARE(got, records);
    QCOMPARE(reader.bytesRead(), qint64(input.size()));
}

void TstTransferFormats::csvFieldAcrossBlocks()
{
    // A doubled quote and a CR LF falling on the reader's block boundary (64 KiB), and a quote left open at the end.
    QByteArray input = "\"";
    input += QByteArray(65535 - 1, 'x');
    input += "\"\"\"\r\n\"open";
    QBuffer buffer(&input);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    CsvRecordReader reader(buffer);
    CsvRecordReader::Record r;
    QVERIFY(reader.next(&r));
    QCOMPARE(r.fields.size(), 1);
    QCOMPARE(r.fields.first(), QByteArray(65534, 'x') + '"');
    QVERIFY(reader.next(&r));
    QCOMPARE(r.line, 2);
    QVERIFY(r.unclosedQuote);
    QCOMPARE(r.fields.first(), QByteArray("open"));
    QVERIFY(!reader.next(&r));

    QByteArray bad("\xC3\x28");
    QStringList texts;
    QVERIFY(!CsvRecordReader::decode({bad}, &texts));
}

void TstTransferFormats::csvWriterQuotesWhatItMust()
{
    const QStringList fields{u"plain"_s, u"a,b"_s, u"say \"x\""_s, u"two\r\nlines"_s, u" padded "_s, u""_s, u"Ωμέγα"_s};
    const QByteArray line = CsvCitationWriter::line(fields);
    QCOMPARE(line, QByteArray("plain,\"a,b\",\"say \"\"x\"\"\",\"two\r\nlines\",\" padded \",,Ωμέγα\r\n"));
    QByteArray copy = line;
    QBuffer buffer(&copy);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    CsvRecordReader reader(buffer);
    CsvRecordReader::Record r;
    QVERIFY(reader.next(&r));
    QStringList back;
    QVERIFY(CsvRecordReader::decode(r.fields, &back));
    QCOMPARE(back, fields);
}

void TstTransferFormats::dates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date"); // invalid: refused
    QTest::newRow("day") << u"2019-03-14"_s << QDate(2019, 3, 14);
    QTest::newRow("month only") << u"2019-03"_s << QDate(2019, 3, 1);
    QTest::newRow("single digits") << u"2019-3-4"_s << QDate(2019, 3, 4);
    QTest::newRow("blanks around") << u" 2019-03-14 "_s << QDate(2019, 3, 14);
    QTest::newRow("month 13") << u"2019-13-01"_s << QDate();
    QTest::newRow("30 February") << u"2019-02-30"_s << QDate();
    QTest::newRow("year alone") << u"2019"_s << QDate();
    QTest::newRow("other order") << u"14-03-2019"_s << QDate();
    QTest::newRow("words") << u"March 2019"_s << QDate();
}

void TstTransferFormats::dates()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    bool ok = false;
    const QDate got = TransferColumns::parseDate(text, &ok);
    QCOMPARE(ok, date.isValid());
    if (ok)
        QCOMPARE(got, date);
}

void TstTransferFormats::columnsMatch_data()
{
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<QList<int>>("columns");
    QTest::addColumn<QString>("error");
    QTest::newRow("any order and case") << QStringList{u" Bench"_s, u"CITATION"_s, u"Date "_s}
                                        << QList<int>{TransferColumns::Bench, TransferColumns::CitationText,
                                                      TransferColumns::Date}
                                        << QString();
    QTest::newRow("every column") << TransferColumns::names() << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}
                                  << QString();
    QTest::newRow("empty names passed over")
        << QStringList{u"citation"_s, QString(), u" "_s}
        << QList<int>{TransferColumns::CitationText, TransferColumns::kUnnamed, TransferColumns::kUnnamed} << QString();
    QTest::newRow("unknown") << QStringList{u"citation"_s, u"judges"_s} << QList<int>()
                             << u"The column \"judges\" is not one the import knows"_s;
    QTest::newRow("twice") << QStringList{u"citation"_s, u"Case"_s, u"case"_s} << QList<int>()
                           << u"The column \"case\" is named twice."_s;
    QTest::newRow("no citation") << QStringList{u"case"_s, u"date"_s} << QList<int>()
                                 << u"The first row names no \"citation\" column."_s;
}

void TstTransferFormats::columnsMatch()
{
    QFETCH(QStringList, header);
    QFETCH(QList<int>, columns);
    QFETCH(QString, error);
    const Result<QList<int>> got = TransferColumns::match(header);
    if (error.isEmpty()) {
        QVERIFY2(got.ok(), qPrintable(got.error().description));
        QCOMPARE(*got, columns);
    } else {
        QVERIFY(!got.ok());
        QVERIFY2(got.error().description.startsWith(error), qPrintable(got.error().description));
    }
}

void TstTransferFormats::rowCells()
{
    const QList<int> columns{TransferColumns::Acts, TransferColumns::CitationText, TransferColumns::Categories,
                             TransferColumns::Bench, TransferColumns::Issue};
    TransferRecord r = TransferColumns::record(
        columns,
        {u"Contract Act|s. 73; Income Tax Ordinance| ;;"_s, u"PLD 1 SC 2"_s, u" Tax ;Civil"_s, u"A;;B"_s, u"issue"_s},
        7);
    QCOMPARE(r.place, 7);
    QCOMPARE(r.problem, QString());
    QCOMPARE(r.citation, QStringLiteral("PLD 1 SC 2"));
    QCOMPARE(r.acts, (QList<TransferAct>{{u"Contract Act"_s, u"s. 73"_s}, {u"Income Tax Ordinance"_s, u""_s}}));
    QCOMPARE(r.categories, (QStringList{u"Tax"_s, u"Civil"_s}));
    QCOMPARE(r.bench, (QStringList{u"A"_s, u"B"_s}));
    QCOMPARE(r.texts[Citation::Issue], QStringLiteral("issue"));
    // Written back, the same row reads as the same record.
    const TransferRecord back =
        TransferColumns::record({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, TransferColumns::cells(r), 7);
    QCOMPARE(back.acts, r.acts);
    QCOMPARE(back.categories, r.categories);
    QCOMPARE(back.bench, r.bench);

    QCOMPARE(TransferColumns::record(columns, {u"|s. 5"_s, u"x"_s}, 3).problem,
             QStringLiteral("the Act \"|s. 5\" has no name before its section."));
    QVERIFY(TransferColumns::record(columns, {u""_s, u"x"_s, u""_s, u""_s, u""_s, u"extra"_s}, 3)
                .problem.contains(u"6 fields"_s));
    QVERIFY(TransferColumns::record({TransferColumns::Date}, {u"2019-02-30"_s}, 3).problem.contains(u"2019-02-30"_s));
    const QList<int> unnamed{TransferColumns::CitationText, TransferColumns::kUnnamed};
    QCOMPARE(TransferColumns::record(unnamed, {u"x"_s, u" "_s}, 3).problem, QString());
    QCOMPARE(TransferColumns::record(unnamed, {u"x"_s, u"y"_s}, 3).problem,
             u"the row has a value in a column the first row does not name."_s);
}

void TstTransferFormats::sheetReferencesAndSerialDates()
{
    QCOMPARE(XlsxCitationReader::columnOfReference(u"A1"_s), 0);
    QCOMPARE(XlsxCitationReader::columnOfReference(u"Z9"_s), 25);
    QCOMPARE(XlsxCitationReader::columnOfReference(u"AA3"_s), 26);
    QCOMPARE(XlsxCitationReader::columnOfReference(u"AB12"_s), 27);
    QCOMPARE(XlsxCitationReader::columnOfReference(u"12"_s), -1);
    QCOMPARE(XlsxCitationReader::dateOfSerial(43831, false), QDate(2020, 1, 1));
    QCOMPARE(XlsxCitationReader::dateOfSerial(61, false), QDate(1900, 3, 1));
    QCOMPARE(XlsxCitationReader::dateOfSerial(43831.75, false), QDate(2020, 1, 1));
    QCOMPARE(XlsxCitationReader::dateOfSerial(0, true), QDate(1904, 1, 1));
}

void TstTransferFormats::jsonItemsCutFromStream()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"items.json"_s);
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    // Brackets and escaped quotes inside strings must not end an item; an item longer than a read block.
    f.write("\xEF\xBB\xBF [ {\"title\": \"a } ] \\\" b\", \"type\": \"legal_case\"},\n  {\"note\": \"");
    f.write(QByteArray(70000, 'n'));
    f.write("\"} , [1,2], 7 ]");
    f.close();
    CslJsonReader reader(path);
    QVERIFY(!reader.open());
    QByteArray item;
    QStringList items;
    for (;;) {
        const Result<bool> got = reader.nextItem(&item);
        QVERIFY2(got.ok(), qPrintable(got.error().description));
        if (!*got)
            break;
        items << QString::fromUtf8(item.left(20));
    }
    QCOMPARE(items, (QStringList{u"{\"title\": \"a } ] \\\" "_s, u"{\"note\": \"nnnnnnnnnn"_s, u"[1,2]"_s, u"7"_s}));

    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("[{\"type\": \"legal_case\"}, {\"title\": \"cut");
    f.close();
    CslJsonReader cut(path);
    QVERIFY(!cut.open());
    QVERIFY(*cut.nextItem(&item));
    const Result<bool> broken = cut.nextItem(&item);
    QVERIFY(!broken.ok());
    QCOMPARE(broken.error().description, QStringLiteral("The file ends inside item 2."));

    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("citation,case\n");
    f.close();
    QVERIFY(CslJsonReader(path).open().isError());
}

void TstTransferFormats::cslMapping()
{
    const QJsonObject report{{u"type"_s, u"legal_case"_s},
                             {u"title"_s, u"State v. Ωmega"_s},
                             {u"container-title"_s, u"SCMR"_s},
                             {u"volume"_s, 2003},
                             {u"page"_s, u"45"_s},
                             {u"number"_s, u"ignored when the report is named"_s},
                             {u"authority"_s, u"Supreme Court; High Court"_s},
                             {u"issued"_s, QJsonObject{{u"date-parts"_s, QJsonArray{QJsonArray{2003, u"5"_s, 17}}}}},
                             {u"note"_s, u"first"_s},
                             {u"abstract"_s, u"second"_s}};
    TransferRecord r = CslJsonMapping::record(report, 4);
    QCOMPARE(r.leftOutWhy, QString());
    QCOMPARE(r.problem, QString());
    QCOMPARE(r.citation, QStringLiteral("SCMR 2003 45"));
    QCOMPARE(r.caseTitle, QStringLiteral("State v. Ωmega"));
    QCOMPARE(r.courts, (QStringList{u"Supreme Court"_s, u"High Court"_s}));
    QCOMPARE(r.judgmentDate, QDate(2003, 5, 17));
    QCOMPARE(r.texts[Citation::Remarks], QStringLiteral("first\n\nsecond"));

    QCOMPARE(CslJsonMapping::record({{u"type"_s, u"legal_case"_s}, {u"number"_s, u"PLD 1 SC 2"_s}}, 1).citation,
             QStringLiteral("PLD 1 SC 2"));
    QCOMPARE(CslJsonMapping::record({{u"type"_s, u"book"_s}, {u"title"_s, u"Treatise"_s}}, 2).leftOutWhy,
             QStringLiteral("left out: the item is of type \"book\", not legal_case."));
    QCOMPARE(CslJsonMapping::record({{u"type"_s, u"legal_case"_s},
                                     {u"issued"_s, QJsonObject{{u"date-parts"_s, QJsonArray{QJsonArray{2003}}}}}},
                                    3)
                 .problem,
             QStringLiteral("the date of judgment names no month."));
    QCOMPARE(
        CslJsonMapping::record({{u"type"_s, u"legal_case"_s}, {u"issued"_s, QJsonObject{{u"raw"_s, u"2003-05"_s}}}}, 3)
            .judgmentDate,
        QDate(2003, 5, 1));

    // What the export writes is read back whole, the fields CSL has no place for included.
    r.texts[Citation::Judgment] = u"held"_s;
    r.categories = {u"Tax"_s};
    r.acts = {{u"Contract Act"_s, u"s. 73"_s}};
    r.bench = {u"Justice A"_s, u"法官 李"_s};
    const TransferRecord back = CslJsonMapping::record(CslJsonMapping::item(r, 9), 9);
    QCOMPARE(back.citation, r.citation);
    QCOMPARE(back.caseTitle, r.caseTitle);
    QCOMPARE(back.judgmentDate, r.judgmentDate);
    QCOMPARE(back.texts, r.texts);
    QCOMPARE(back.categories, r.categories);
    QCOMPARE(back.courts, r.courts);
    QCOMPARE(back.acts, r.acts);
    QCOMPARE(back.bench, r.bench);
}

QTEST_GUILESS_MAIN(TstTransferFormats)
#include "tst_transfer_formats.moc"
