#include "core/citations/citation_export.h"
#include "core/citations/citation_store.h"
#include "core/db/db_session.h"
#include "core/db/sqlite_dialect.h"
#include "core/search/citation_search.h"
#include "core/sync/database_merge.h"
#include "core/transfer/citation_import.h"
#include "core/transfer/citation_transfer_export.h"
#include "support/cli_run.h"
#include "support/test_database.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Three citations for the search and export commands to find.
bool addSearchedCitations(TestDatabase& database)
{
    if (!database.addSampleMasters())
        return false;
    DbSession session(database.ctx());
    CitationStore store(session);
    Citation a;
    a.citation = u"PLD 2003 SC 5"_s;
    a.caseTitle = u"Appeal of Ωmega"_s;
    a.judgmentDate = QDate(2003, 5, 17);
    a.text(Citation::Judgment) = u"The appeal is allowed; the Appellant succeeds."_s;
    a.courts = {{1, u"Supreme Court"_s, {}}};
    a.acts = {{2, u"Contract Act"_s, u"s. 73"_s}};
    a.bench = {u"Justice Appeal"_s};
    Citation b;
    b.citation = u"2001 SCMR 9"_s;
    b.text(Citation::Remarks) = u"appeals dismissed"_s;
    b.categories = {{1, u"Tax"_s, {}}};
    Citation c;
    c.citation = u"PLJ 1999 Lah 3"_s;
    c.text(Citation::Issue) = u"nothing to find"_s;
    return store.add(a).ok() && store.add(b).ok() && store.add(c).ok();
}
} // namespace

// The terminal program as a user meets it: its arguments, its exit statuses, and what it prints.
class TstCli : public QObject
{
    Q_OBJECT

private slots:
    void refusesBadArguments_data();
    void refusesBadArguments();
    void helpNamesEveryCommand();
    void withoutSettingsSaysSo();
    void listsCitationsInIdOrder();
    void importPrintsSummaryAndRefusals();
    void importOfUnreadableFileFails();
    void exportAllWritesTheCoresFile();
    void searchEqualsTheCore_data();
    void searchEqualsTheCore();
    void searchRefusesBadArguments_data();
    void searchRefusesBadArguments();
    void exportEqualsSaveReport_data();
    void exportEqualsSaveReport();
    void mergePrintsStatusLines();
};

void TstCli::refusesBadArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("said");
    QTest::newRow("no command") << QStringList{} << QStringLiteral("No command given.");
    QTest::newRow("unknown command") << QStringList{QStringLiteral("frobnicate")}
                                     << QStringLiteral("Unknown command: frobnicate");
    QTest::newRow("unknown option") << QStringList{QStringLiteral("list"), QStringLiteral("--bogus")}
                                    << QStringLiteral("Unknown option 'bogus'.");
    QTest::newRow("extra argument") << QStringList{QStringLiteral("list"), QStringLiteral("more")}
                                    << QStringLiteral("Too many arguments: more.");
    QTest::newRow("option without value") << QStringList{QStringLiteral("list"), QStringLiteral("--settings")}
                                          << QStringLiteral("Missing value after '--settings'.");
}

void TstCli::refusesBadArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, said);
    const CliRun run = runCli(arguments);
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.startsWith(said), qPrintable(run.err));
    QVERIFY2(run.err.contains(QStringLiteral("Usage:")), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
}

void TstCli::helpNamesEveryCommand()
{
    const CliRun run = runCli({QStringLiteral("--help")});
    QCOMPARE(run.status, 0);
    QVERIFY(run.out.contains(QStringLiteral("Commands:")));
    QVERIFY(run.out.contains(QStringLiteral("  list ")));
    const CliRun list = runCli({QStringLiteral("list"), QStringLiteral("--help")});
    QCOMPARE(list.status, 0);
    QVERIFY(list.out.contains(QStringLiteral("--settings <FILE>")));
}

void TstCli::withoutSettingsSaysSo()
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("none.ini"));
    const CliRun run = runCli({QStringLiteral("--settings"), missing, QStringLiteral("list")});
    QCOMPARE(run.status, 1);
    QCOMPARE(run.err.trimmed(), QStringLiteral("There is no settings file %1. Start the program once to choose a "
                                               "database, or name a settings file with --settings.")
                                    .arg(missing));
    QVERIFY(run.out.isEmpty());
}

void TstCli::listsCitationsInIdOrder()
{
    LEX_USE_DATABASE(database, true);
    DbSession session(database.ctx());
    QVERIFY(session.isOpen());
    CitationStore store(session);
    Citation dated;
    dated.citation = QStringLiteral("PLD 2003 SC 5");
    dated.caseTitle = QStringLiteral("State\tv. Ωmega");
    dated.judgmentDate = QDate(2003, 5, 17);
    Citation undated;
    undated.citation = QStringLiteral("2001 SCMR 9");
    const Result<qint64> first = store.add(dated);
    const Result<qint64> second = store.add(undated);
    QVERIFY(first && second);

    const CliRun run = runCliOn(database, {QStringLiteral("list")});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.out, QStringLiteral("%1\tPLD 2003 SC 5\tState v. Ωmega\t2003-05-17\n%2\t2001 SCMR 9\t\t\n")
                          .arg(*first)
                          .arg(*second));
}

void TstCli::importPrintsSummaryAndRefusals()
{
    LEX_USE_DATABASE(database, true);
    QTemporaryDir dir;
    const QString file = dir.filePath(u"cases.csv"_s);
    QVERIFY(writeBytes(file, "\xEF\xBB\xBF"
                             "citation,case,date\r\nPLD 1 SC 1,\"A, B\",2019-03\r\n,no citation,\r\n"
                             "PLD 1 SC 2,,March\r\n"));
    const CliRun dry = runCliOn(database, {u"import"_s, file, u"--dry-run"_s});
    QCOMPARE(dry.status, 0);
    QCOMPARE(dry.err, QString());
    QCOMPARE(dry.out, u"Read 3 rows: 1 would be stored, 0 would be skipped as duplicates, 2 would be refused. Nothing "
                      "was written.\nLine 3: the citation is empty.\nLine 4: the date \"March\" is not a date of "
                      "the form yyyy-mm-dd or yyyy-mm.\n"_s);
    QCOMPARE(database.scalar(u"SELECT COUNT(*) FROM case_master"_s).toInt(), 0);

    const CliRun run = runCliOn(database, {u"import"_s, file});
    QCOMPARE(run.status, 0);
    QVERIFY2(run.out.startsWith(u"Read 3 rows: 1 stored, 0 skipped as duplicates, 2 refused.\nLine 3: "_s),
             qPrintable(run.out));
    const CliRun listed = runCliOn(database, {u"list"_s});
    QCOMPARE(listed.out, u"1\tPLD 1 SC 1\tA, B\t2019-03-01\n"_s);
    // Again: the row is a duplicate now, unless duplicates are asked for.
    QVERIFY(runCliOn(database, {u"import"_s, file}).out.startsWith(u"Read 3 rows: 0 stored, 1 skipped"_s));
    QVERIFY(
        runCliOn(database, {u"import"_s, file, u"--allow-duplicates"_s}).out.startsWith(u"Read 3 rows: 1 stored"_s));
    QCOMPARE(database.scalar(u"SELECT COUNT(*) FROM case_master"_s).toInt(), 2);
}

void TstCli::importOfUnreadableFileFails()
{
    LEX_USE_DATABASE(database, true);
    QTemporaryDir dir;
    const QString file = dir.filePath(u"cases.csv"_s);
    QVERIFY(writeBytes(file, "citation,judges\nPLD 1 SC 1,A\n"));
    const CliRun run = runCliOn(database, {u"import"_s, file});
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.startsWith(u"The column \"judges\" is not one the import knows"_s), qPrintable(run.err));
    QCOMPARE(runCliOn(database, {u"import"_s}).status, 2);
    QCOMPARE(database.scalar(u"SELECT COUNT(*) FROM case_master"_s).toInt(), 0);
}

void TstCli::exportAllWritesTheCoresFile()
{
    LEX_USE_DATABASE(database, true);
    QVERIFY(addSearchedCitations(database));
    QTemporaryDir dir;
    for (const QString& ending : {u"csv"_s, u"json"_s}) {
        const QString byCli = dir.filePath(u"cli."_s + ending);
        const QString byCore = dir.filePath(u"core."_s + ending);
        const CliRun run = runCliOn(database, {u"export-all"_s, byCli});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, u"Wrote 3 citations to %1.\n"_s.arg(byCli));
        DbSession session(database.ctx());
        QVERIFY(CitationTransferExport::write(session, byCore).ok());
        QCOMPARE(contents(byCli), contents(byCore));
    }
    // An .xlsx file is written too; a name of another format is refused with nothing written.
    QCOMPARE(runCliOn(database, {u"export-all"_s, dir.filePath(u"all.xlsx"_s)}).status, 0);
    QVERIFY(QFile::exists(dir.filePath(u"all.xlsx"_s)));
    const CliRun other = runCliOn(database, {u"export-all"_s, dir.filePath(u"all.txt"_s)});
    QCOMPARE(other.status, 1);
    QVERIFY(!QFile::exists(dir.filePath(u"all.txt"_s)));
}

void TstCli::searchEqualsTheCore_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("field");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeWord");
    QTest::newRow("all fields") << QStringList{} << int(SearchField::AllFields) << false << false;
    QTest::newRow("all fields, asked") << QStringList{u"--all-fields"_s, u"--field"_s, u"Court"_s}
                                       << int(SearchField::AllFields) << false << false;
    QTest::newRow("match case") << QStringList{u"--match-case"_s} << int(SearchField::AllFields) << true << false;
    QTest::newRow("whole word") << QStringList{u"--whole-word"_s} << int(SearchField::AllFields) << false << true;
    QTest::newRow("bench, any case of the name")
        << QStringList{u"--field"_s, u"bench"_s} << int(SearchField::Bench) << false << false;
}

void TstCli::searchEqualsTheCore()
{
    QFETCH(QStringList, options);
    QFETCH(int, field);
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeWord);
    LEX_USE_DATABASE(database, true);
    QVERIFY(addSearchedCitations(database));
    SearchRequest request{u"Appeal"_s, SearchField(field), matchCase, wholeWord};
    QString expected;
    {
        DbSession session(database.ctx());
        QVERIFY(!CitationSearch(session).run(CitationSearch::passesFor(request), request, [&](const SearchHit& hit) {
            expected += u"%1\t%2\t%3\n"_s.arg(hit.caseId).arg(hit.citation, hit.foundIn);
        }));
    }
    QVERIFY(!expected.isEmpty());
    const CliRun run = runCliOn(database, QStringList{u"search"_s, u"Appeal"_s} + options);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.out, expected);
}

void TstCli::searchRefusesBadArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("said");
    QTest::newRow("leading blank") << QStringList{u"search"_s, u" appeal"_s}
                                   << u"The search text cannot be empty or begin with a blank."_s;
    QTest::newRow("unknown field") << QStringList{u"search"_s, u"appeal"_s, u"--field"_s, u"Judges"_s}
                                   << u"There is no field Judges; the fields are "_s;
    QTest::newRow("no text") << QStringList{u"search"_s} << u"Too few arguments."_s;
}

void TstCli::searchRefusesBadArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, said);
    const CliRun run = runCli(arguments);
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.startsWith(said), qPrintable(run.err));
    QVERIFY(run.err.contains(u"Usage:"_s));
}

void TstCli::exportEqualsSaveReport_data()
{
    QTest::addColumn<QString>("ending");
    QTest::newRow("text") << u"txt"_s;
    QTest::newRow("xls") << u"xls"_s;
}

void TstCli::exportEqualsSaveReport()
{
    QFETCH(QString, ending);
    LEX_USE_DATABASE(database, true);
    QVERIFY(addSearchedCitations(database));
    QTemporaryDir dir;
    const QString byCli = dir.filePath(u"cli."_s + ending);
    const QString byScreen = dir.filePath(u"screen."_s + ending);
    const CliRun run = runCliOn(database, {u"export"_s, u"1"_s, byCli});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, u"The report has been stored in %1\n"_s.arg(byCli));
    DbSession session(database.ctx());
    QVERIFY(!CitationExport::write(session, CitationExport::formatFor(byScreen), 1, byScreen, QDate::currentDate()));
    QCOMPARE(contents(byCli), contents(byScreen));

    const CliRun missing = runCliOn(database, {u"export"_s, u"99"_s, byCli});
    QCOMPARE(missing.status, 1);
    QCOMPARE(missing.err.trimmed(), CitationExport::notStoredMessage(99));
    QCOMPARE(runCliOn(database, {u"export"_s, u"x"_s, byCli}).status, 2);
    QCOMPARE(runCliOn(database, {u"export"_s, u"1"_s, dir.filePath(u"a.pdf"_s)}).status, 2);
}

void TstCli::mergePrintsStatusLines()
{
    LEX_USE_DATABASE(present, true);
    LEX_USE_DATABASE(second, true);
    {
        DbSession session(second.ctx());
        Citation c;
        c.citation = u"PLD 2010 SC 1"_s;
        QVERIFY(CitationStore(session).add(c).ok());
    }
    const ConnectionString& c = second.ctx().connection;
    const QString database = c.isEmbedded() ? SqliteDialect::databaseFile(second.ctx()) : c.database;
    const CliRun run = runCliOn(present, {u"merge"_s, c.server, database, c.user, c.password});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QString());
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.size() > 2, qPrintable(run.out));
    QCOMPARE(lines.last(), u"Merged: 1 citations added."_s);
    QCOMPARE(present.scalar(u"SELECT citation FROM case_master"_s).toString(), u"PLD 2010 SC 1"_s);

    const ConnectionString& p = present.ctx().connection;
    const QString self = p.isEmbedded() ? SqliteDialect::databaseFile(present.ctx()) : p.database;
    const CliRun same = runCliOn(present, {u"merge"_s, p.server, self, p.user, p.password});
    QCOMPARE(same.status, 1);
    QCOMPARE(same.err.trimmed(), DatabaseMerge::kSameDatabase);
}

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
