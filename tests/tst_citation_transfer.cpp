#include "core/citations/citation_store.h"
#include "core/citations/sheet.h"
#include "core/citations/xlsx_writer.h"
#include "core/db/db_session.h"
#include "core/masters/master_store.h"
#include "core/transfer/citation_import.h"
#include "core/transfer/citation_transfer_export.h"
#include "core/transfer/transfer_columns.h"
#include "core/util/cancel_token.h"
#include "support/test_database.h"
#include "transfer_samples.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <zip.h>

using namespace Qt::StringLiterals;

namespace {
QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return QString();
    return path;
}

// Every citation of the database as text, in case id order: its fields, its date as stored and its lists by
// name, so that two databases with the same citations under other master keys compare equal.
QStringList describe(TestDatabase& t)
{
    DbSession session(t.ctx());
    CitationStore store(session);
    QStringList out;
    const Result<QList<qint64>> ids = session.column<qint64>(u"SELECT case_id FROM case_master ORDER BY case_id"_s);
    if (!ids)
        return {u"unreadable"_s};
    for (qint64 id : *ids) {
        const Result<Citation> c = store.loadWhole(id);
        if (!c)
            return {c.error().description};
        QStringList parts{
            c->citation, c->caseTitle,
            t.scalar(u"SELECT dt_of_judgment FROM case_master WHERE case_id = ?"_s, {id}).toString().left(10)};
        for (const QString& text : c->texts)
            parts << text;
        for (const QList<CitationLink>* links : {&c->categories, &c->courts, &c->acts}) {
            QStringList names;
            for (const CitationLink& link : *links)
                names << link.name + u'|' + link.section;
            parts << names.join(u'+');
        }
        parts << c->bench.join(u'+');
        out << parts.join(u'#');
    }
    return out;
}

// One line of describe(): the slots given (0 citation, 1 case, 2 date, 3 + Citation::Text, 9 categories,
// 10 courts, 11 Acts, 12 bench), every other one empty.
QString line(std::initializer_list<std::pair<int, QString>> filled)
{
    QStringList parts(13);
    for (const auto& [at, text] : filled)
        parts[at] = text;
    return parts.join(u'#');
}

Citation sample(const QString& citation, const QDate& date)
{
    Citation c;
    c.citation = citation;
    c.judgmentDate = date;
    c.caseTitle = u"State v. \"Ωmega\", and others"_s;
    c.text(Citation::Judgment) = u"Appeal allowed.\r\nCosts to follow."_s;
    c.text(Citation::NatureOfCase) = u"Civil appeal"_s;
    c.text(Citation::FactSummary) = u"न्यायालय ने अपील स्वीकार की"_s;
    c.text(Citation::Issue) = u"Ζήτημα; δικαιοδοσίας | x"_s;
    c.text(Citation::RuleOfLaw) = u"line one\nline two"_s;
    c.text(Citation::Remarks) = u"_x000D_ stays as typed"_s;
    c.categories = {{3, u"Criminal"_s, {}}, {1, u"Tax"_s, {}}};
    c.courts = {{2, u"High Court"_s, {}}};
    c.acts = {{2, u"Contract Act"_s, u"s. 73"_s}, {1, u"Income Tax Ordinance"_s, QString()}};
    c.bench = {u"Justice B"_s, u"法官 李"_s};
    return c;
}

} // namespace

// The import and the export of every citation, on both engines: rows refused with their places and nothing of
// them written, masters matched by the master screens' rule, duplicates skipped, the three formats, a cancel,
// and the round trip through each format.
class TstCitationTransfer : public QObject
{
    Q_OBJECT

private slots:
    void badRowsRefusedGoodRowsStored();
    void failedRowLeavesNothingOfItself();
    void duplicatesAndDryRun();
    void unreadableFilesStoreNothing_data();
    void unreadableFilesStoreNothing();
    void workbookOfTheProjectsWriter();
    void workbookWithSharedStringsAndSerialDates();
    void cslJsonItems();
    void cancelKeepsRowsStored();
    void databaseFailureEndsTheRun();
    void exportCancelledLeavesOldFile();
    void roundTrip_data();
    void roundTrip();
};

void TstCitationTransfer::badRowsRefusedGoodRowsStored()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    QTemporaryDir dir;
    QByteArray csv = "Citation,COURTS,categories,bench,date,issue,acts\r\n";
    csv += "PLD 2019 SC 1,\" supreme court \",Tax; New Category,Justice A;Justice B,2019-03-14,,Contract Act|s. 5\r\n";
    csv += ",Supreme Court,,,2019-01-01,,\r\n";                                 // 3: no citation
    csv += "PLD 2019 SC 2,,,,2019-13-01,,\r\n";                                 // 4: bad date
    csv += "PLD 2019 SC 3,New Court,,,,\"" + QByteArray(8120, 'i') + "\",\r\n"; // 5: issue too long
    QByteArray judges;
    for (int i = 1; i <= 22; ++i)
        judges += "J" + QByteArray::number(i) + ';';
    csv += "PLD 2019 SC 4,,,\"" + judges + "\",,,\r\n";           // 6: 22 judges
    csv += "\"PLD 2019\nSC 5\",,,,2019-05,\"two\r\nlines\",\r\n"; // 7-9: quoted line breaks
    csv += "PLD 2019 SC 6,,,,,,,extra\r\n";                       // 10: too many fields
    csv += "\r\n";                                                // 11: blank
    csv += "PLD 2019 SC 7,,,,,,|s. 9\r\n";                        // 12: Act without a name
    csv += "PLD 2019 SC 8,High Court\r\n";                        // 13: fewer fields: fine
    const QString path = writeFile(dir, u"cases.csv"_s, csv);

    DbSession session(t.ctx());
    const Result<ImportSummary> s = CitationImport::run(session, path, {});
    QVERIFY2(s.ok(), qPrintable(s.error().description));
    QCOMPARE(s->read, 9);
    QCOMPARE(s->stored, 3);
    QCOMPARE(s->refused, 6);
    QCOMPARE(s->duplicates, 0);
    QCOMPARE(CitationImport::summaryText(*s), u"Read 9 rows: 3 stored, 0 skipped as duplicates, 6 refused."_s);
    QCOMPARE(CitationImport::refusalsText(*s),
             u"Line 3: the citation is empty.\n"
             "Line 4: the date \"2019-13-01\" is not a date of the form yyyy-mm-dd or yyyy-mm.\n"
             "Line 5: The Issue may hold at most 7900 characters; it has 8120.\n"
             "Line 6: A citation has at most 21 bench names.\n"
             "Line 10: the row has 8 fields, more than the 7 columns the first row names.\n"
             "Line 12: the Act \"|s. 9\" has no name before its section.\n"_s);

    // The masters: " supreme court " is the stored Supreme Court; only the new category is added, and nothing of
    // the refused rows (their New Court) is.
    QCOMPARE(t.scalar(u"SELECT COUNT(*) FROM court_master"_s).toInt(), 2);
    QCOMPARE(t.scalar(u"SELECT COUNT(*) FROM category_master"_s).toInt(), 4);
    QCOMPARE(t.scalar(u"SELECT category FROM category_master WHERE id = 4"_s).toString(), u"New Category"_s);
    const QStringList got = describe(t);
    QCOMPARE(got.size(), 3);
    QCOMPARE(got.at(0), line({{0, u"PLD 2019 SC 1"_s},
                              {2, u"2019-03-14"_s},
                              {9, u"Tax|+New Category|"_s},
                              {10, u"Supreme Court|"_s},
                              {11, u"Contract Act|s. 5"_s},
                              {12, u"Justice A+Justice B"_s}}));
    QCOMPARE(got.at(1),
             line({{0, u"PLD 2019\nSC 5"_s}, {2, u"2019-05-01"_s}, {3 + Citation::Issue, u"two\r\nlines"_s}}));
    QCOMPARE(got.at(2), line({{0, u"PLD 2019 SC 8"_s}, {10, u"High Court|"_s}}));
}

void TstCitationTransfer::failedRowLeavesNothingOfItself()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    QTemporaryDir dir;
    const QString path = writeFile(dir, u"one.csv"_s,
                                   "citation,courts,acts\nPLD 1 SC 1,Brand New Court,Brand New Act|s. 1\n"
                                   "PLD 1 SC 2,Brand New Court,\n");
    const QStringList before = t.citationTableRows();
    DbSession session(t.ctx());
    // The first row's judgment text cannot be written: its new court and Act, added before it, go with it.
    session.failNextStatementContaining(u"INSERT INTO cm_judgment_master"_s);
    const Result<ImportSummary> s = CitationImport::run(session, path, {});
    QVERIFY2(s.ok(), qPrintable(s.error().description));
    QCOMPARE(s->refused, 1);
    QCOMPARE(s->stored, 1);
    QCOMPARE(s->refusals.first().place, 2);
    QCOMPARE(t.scalar(u"SELECT COUNT(*) FROM act_master"_s).toInt(), 2);
    QCOMPARE(t.scalar(u"SELECT COUNT(*) FROM court_master"_s).toInt(), 3);
    QCOMPARE(t.scalar(u"SELECT COUNT(*) FROM case_master"_s).toInt(), 1);
    QCOMPARE(describe(t), QStringList{line({{0, u"PLD 1 SC 2"_s}, {10, u"Brand New Court|"_s}})});
    QVERIFY(before != t.citationTableRows());
}

void TstCitationTransfer::duplicatesAndDryRun()
{
    LEX_USE_DATABASE(t, true);
    {
        DbSession session(t.ctx());
        Citation c;
        c.citation = u"PLD 2003 SC 5"_s;
        c.judgmentDate = QDate(2003, 5, 17);
        QVERIFY(CitationStore(session).add(c).ok());
    }
    QTemporaryDir dir;
    const QString path = writeFile(dir, u"dups.csv"_s,
                                   "citation,date\n"
                                   "PLD 2003 SC 5,2003-05-02\n" // 2: same month and year as the stored one
                                   "PLD 2003 SC 5,2003-06-01\n" // 3: another month
                                   "pld 2003 sc 5,2003-05-02\n" // 4: another spelling
                                   "2001 SCMR 9,\n"             // 5
                                   "2001 SCMR 9,\n");           // 6: the same as line 5
    const QStringList before = t.citationTableRows();
    DbSession session(t.ctx());
    const Result<ImportSummary> dry = CitationImport::run(session, path, {true, false});
    QVERIFY(dry.ok());
    QCOMPARE(t.citationTableRows(), before);
    QCOMPARE(CitationImport::summaryText(*dry),
             u"Read 5 rows: 3 would be stored, 2 would be skipped as duplicates, 0 would be refused. Nothing was "
             "written."_s);
    QCOMPARE(CitationImport::refusalsText(*dry),
             u"Line 2: skipped as a duplicate of citation 1 (the same citation and month and year of judgment).\n"
             "Line 6: skipped as a duplicate of line 5 of this file (the same citation and month and year of "
             "judgment).\n"_s);

    const Result<ImportSummary> real = CitationImport::run(session, path, {});
    QVERIFY(real.ok());
    QCOMPARE(real->stored, dry->stored);
    QCOMPARE(real->duplicates, dry->duplicates);
    QCOMPARE(real->refusals.at(1).reason,
             u"skipped as a duplicate of citation 4 (the same citation and month and year of judgment)."_s);
    QCOMPARE(t.scalar(u"SELECT COUNT(*) FROM case_master"_s).toInt(), 4);
    // Once more: every row is there now.
    const Result<ImportSummary> again = CitationImport::run(session, path, {});
    QCOMPARE(again->duplicates, 5);
    QCOMPARE(again->stored, 0);
    const Result<ImportSummary> allowed = CitationImport::run(session, path, {false, true});
    QCOMPARE(allowed->stored, 5);
    QCOMPARE(t.scalar(u"SELECT COUNT(*) FROM case_master"_s).toInt(), 9);
}

void TstCitationTransfer::unreadableFilesStoreNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // empty: no file
    QTest::addColumn<QString>("said");
    QTest::newRow("unknown column") << u"a.csv"_s << QByteArray("citation,judges\nPLD 1 SC 1,A\n")
                                    << u"The column \"judges\" is not one the import knows"_s;
    QTest::newRow("no header") << u"a.csv"_s << QByteArray("\n\n") << u"holds no first row"_s;
    QTest::newRow("missing file") << u"a.csv"_s << QByteArray() << u"Could not read"_s;
    QTest::newRow("other ending") << u"a.txt"_s << QByteArray("citation\nx\n") << u"none of them"_s;
    QTest::newRow("not a zip") << u"a.xlsx"_s << QByteArray("citation\nx\n") << u"not a zip archive"_s;
    QTest::newRow("not JSON") << u"a.json"_s << QByteArray("citation\nx\n") << u"is not CSL-JSON"_s;
}

void TstCitationTransfer::unreadableFilesStoreNothing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, said);
    LEX_USE_DATABASE(t, true);
    QTemporaryDir dir;
    const QString path = bytes.isEmpty() ? dir.filePath(name) : writeFile(dir, name, bytes);
    const QStringList before = t.citationTableRows();
    DbSession session(t.ctx());
    const Result<ImportSummary> s = CitationImport::run(session, path, {});
    QVERIFY(!s.ok());
    QVERIFY2(s.error().description.contains(said), qPrintable(s.error().description));
    QCOMPARE(t.citationTableRows(), before);
}

void TstCitationTransfer::workbookOfTheProjectsWriter()
{
    LEX_USE_DATABASE(t, true);
    QTemporaryDir dir;
    Sheet sheet;
    sheet.name = u"Citations"_s;
    const QStringList header{u"citation"_s, u"Case"_s, u"date"_s, u"bench"_s, u"rule_of_law"_s};
    for (int c = 0; c < header.size(); ++c)
        sheet.cells << SheetCell{0, c, header.at(c), true};
    sheet.cells << SheetCell{1, 0, u"PLD 2020 SC 1"_s, false} << SheetCell{1, 1, u"Ωmega v. 法官"_s, false}
                << SheetCell{1, 2, u"2020-02-29"_s, false} << SheetCell{1, 3, u"A; B"_s, false}
                << SheetCell{2, 0, u"PLD 2020 SC 2"_s, false} << SheetCell{2, 4, u"rule\nof law"_s, false};
    const QString path = dir.filePath(u"own.xlsx"_s);
    QVERIFY(!XlsxWriter::write(path, sheet));
    DbSession session(t.ctx());
    const Result<ImportSummary> s = CitationImport::run(session, path, {});
    QVERIFY2(s.ok(), qPrintable(s.error().description));
    QCOMPARE(CitationImport::summaryText(*s), u"Read 2 rows: 2 stored, 0 skipped as duplicates, 0 refused."_s);
    QCOMPARE(
        describe(t),
        (QStringList{line({{0, u"PLD 2020 SC 1"_s}, {1, u"Ωmega v. 法官"_s}, {2, u"2020-02-29"_s}, {12, u"A+B"_s}}),
                     line({{0, u"PLD 2020 SC 2"_s}, {3 + Citation::RuleOfLaw, u"rule\nof law"_s}})}));
}

void TstCitationTransfer::workbookWithSharedStringsAndSerialDates()
{
    LEX_USE_DATABASE(t, true);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"hand.xlsx"_s);
    {
        zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
        QVERIFY(zip);
        for (const QString& part : {u"xl/workbook.xml"_s, u"xl/_rels/workbook.xml.rels"_s, u"xl/sharedStrings.xml"_s,
                                    u"xl/worksheets/cases.xml"_s, u"xl/worksheets/other.xml"_s}) {
            const QByteArray name = part.toUtf8();
            const QByteArray bytes = handMadeWorkbookPart(part);
            QCOMPARE(zipOpenNewFileInZip64(zip, name.constData(), nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                           Z_DEFAULT_COMPRESSION, 0),
                     ZIP_OK);
            QCOMPARE(zipWriteInFileInZip(zip, bytes.constData(), unsigned(bytes.size())), ZIP_OK);
            QCOMPARE(zipCloseFileInZip(zip), ZIP_OK);
        }
        QCOMPARE(zipClose(zip, nullptr), ZIP_OK);
    }
    DbSession session(t.ctx());
    const Result<ImportSummary> s = CitationImport::run(session, path, {});
    QVERIFY2(s.ok(), qPrintable(s.error().description));
    QCOMPARE(s->placeName, u"Row"_s);
    QCOMPARE(CitationImport::refusalsText(*s),
             u"Row 5: the row has a value in a column the first row does not name.\n"_s);
    QCOMPARE(describe(t), (QStringList{line({{0, u"PLD 2019 SC 1"_s},
                                             {1, u"A v. B\r\nC"_s},
                                             {2, u"2019-03-15"_s},
                                             {10, u"Supreme Court|+High Court|"_s}}),
                                       line({{0, u"2019 SCMR 7"_s}, {2, u"2001-07-01"_s}})}));
}

void TstCitationTransfer::cslJsonItems()
{
    LEX_USE_DATABASE(t, true);
    QTemporaryDir dir;
    const QString path = writeFile(dir, u"refs.json"_s, cslSample());
    DbSession session(t.ctx());
    const Result<ImportSummary> s = CitationImport::run(session, path, {});
    QVERIFY2(s.ok(), qPrintable(s.error().description));
    QCOMPARE(CitationImport::summaryText(*s),
             u"Read 4 items: 2 stored, 0 skipped as duplicates, 1 refused. 1 left out as not legal cases."_s);
    QCOMPARE(CitationImport::refusalsText(*s), u"Item 2: left out: the item is of type \"book\", not legal_case.\n"
                                               "Item 4: the date of judgment names no month.\n"_s);
    QCOMPARE(describe(t), (QStringList{line({{0, u"PLD 2010 77"_s},
                                             {1, u"Ωmega v. State"_s},
                                             {2, u"2010-04-03"_s},
                                             {3 + Citation::Remarks, u"Leading case"_s},
                                             {10, u"Supreme Court|"_s}}),
                                       line({{0, u"2011 SCMR 5"_s}, {1, u"Undated"_s}})}));
}

void TstCitationTransfer::cancelKeepsRowsStored()
{
    LEX_USE_DATABASE(t, true);
    QTemporaryDir dir;
    QByteArray csv = "citation\n";
    for (int i = 1; i <= 10; ++i)
        csv += "PLD 2000 SC " + QByteArray::number(i) + '\n';
    const QString path = writeFile(dir, u"ten.csv"_s, csv);
    DbSession session(t.ctx());
    CancelToken cancel;
    QList<int> percents;
    const Result<ImportSummary> s =
        CitationImport::run(session, path, {}, &cancel, [&](const ImportSummary& soFar, int percent) {
            percents << percent;
            if (soFar.read == 3)
                cancel.cancel();
        });
    QVERIFY(s.ok());
    QVERIFY(s->cancelled);
    QCOMPARE(s->stored, 3);
    QCOMPARE(t.scalar(u"SELECT COUNT(*) FROM case_master"_s).toInt(), 3);
    QVERIFY(CitationImport::summaryText(*s).endsWith(
        u"Cancelled before the end of the file; the rows stored before stay."_s));
    QCOMPARE(percents.size(), 4);
    QVERIFY(percents.at(0) <= percents.at(2) && percents.at(2) < 100);
}

void TstCitationTransfer::databaseFailureEndsTheRun()
{
    LEX_USE_DATABASE(t, true);
    QTemporaryDir dir;
    const QString path = writeFile(dir, u"three.csv"_s, "citation\nPLD 1 SC 1\nPLD 1 SC 2\nPLD 1 SC 3\n");
    DbSession session(t.ctx());
    // The second row's part of the transaction cannot be begun: the run ends there, and the first row stays stored.
    const Result<ImportSummary> s =
        CitationImport::run(session, path, {}, nullptr, [&](const ImportSummary& soFar, int) {
            if (soFar.read == 1)
                session.failNextStatementContaining(u"SAVEPOINT"_s);
        });
    QVERIFY(!s.ok());
    QVERIFY2(s.error().description.endsWith(u" The row stored before it stays."_s), qPrintable(s.error().description));
    QCOMPARE(t.scalar(u"SELECT COUNT(*) FROM case_master"_s).toInt(), 1);
}

void TstCitationTransfer::exportCancelledLeavesOldFile()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    QTemporaryDir dir;
    DbSession session(t.ctx());
    for (int i = 1; i <= 3; ++i)
        QVERIFY(CitationStore(session).add(sample(u"PLD 2000 SC %1"_s.arg(i), QDate(2000, 1, i))).ok());
    for (const QString& name : {u"all.csv"_s, u"all.xlsx"_s, u"all.json"_s}) {
        const QString path = writeFile(dir, name, "old");
        CancelToken cancel;
        const Result<qint64> r =
            CitationTransferExport::write(session, path, {}, &cancel, [&](qint64 done, qint64 total) {
                QCOMPARE(total, 3);
                if (done == 2)
                    cancel.cancel();
            });
        QVERIFY(!r.ok());
        QCOMPARE(r.error().kind, Error::Kind::Cancelled);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{name}); // no scratch file left beside it
        QVERIFY(QFile::remove(path));
    }
}

void TstCitationTransfer::roundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("csv") << u"all.csv"_s;
    QTest::newRow("xlsx") << u"all.xlsx"_s;
    QTest::newRow("CSL-JSON") << u"all.json"_s;
}

void TstCitationTransfer::roundTrip()
{
    QFETCH(QString, name);
    LEX_USE_DATABASE(from, true);
    QVERIFY(from.addSampleMasters());
    {
        DbSession session(from.ctx());
        CitationStore store(session);
        QVERIFY(store.add(sample(u"PLD 2003 SC 5"_s, QDate(2003, 5, 17))).ok());
        Citation bare;
        bare.citation = u" 2001 SCMR 9 "_s; // blanks kept: the citation is stored as given
        QVERIFY(store.add(bare).ok());
        Citation other = sample(u"Ω 2004, \"quoted\""_s, QDate(2004, 12, 1));
        other.courts = {{1, u"Supreme Court"_s, {}}, {2, u"High Court"_s, {}}};
        other.acts = {{2, u"Contract Act"_s, u"s. 73"_s}, {2, u"Contract Act"_s, u"s. 74"_s}};
        QVERIFY(store.add(other).ok());
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    {
        DbSession session(from.ctx());
        const Result<qint64> written = CitationTransferExport::write(session, path);
        QVERIFY2(written.ok(), qPrintable(written.error().description));
        QCOMPARE(*written, 3);
    }
    LEX_USE_DATABASE(to, true);
    DbSession session(to.ctx());
    const Result<ImportSummary> s = CitationImport::run(session, path, {});
    QVERIFY2(s.ok(), qPrintable(s.error().description));
    QCOMPARE(CitationImport::refusalsText(*s), QString());
    QCOMPARE(s->stored, 3);
    QCOMPARE(describe(to), describe(from));
    // Exported again, the file is the same.
    const QString again = dir.filePath(u"again."_s + name.section(u'.', -1));
    QVERIFY(CitationTransferExport::write(session, again).ok());
    if (!name.endsWith(u".xlsx"_s)) { // a workbook records when it was made
        QFile a(path), b(again);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(a.readAll(), b.readAll());
    }
}

QTEST_GUILESS_MAIN(TstCitationTransfer)
#include "tst_citation_transfer.moc"
