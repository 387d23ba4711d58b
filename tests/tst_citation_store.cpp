#include "core/citations/citation_rules.h"
#include "core/citations/citation_store.h"
#include "core/citations/citation_tables.h"
#include "core/db/db_session.h"
#include "core/masters/master_store.h"
#include "support/test_database.h"

#include <QTest>

#include <functional>

namespace {
int rows(const TestDatabase& t, const QString& table)
{
    return t.scalar(QStringLiteral("SELECT COUNT(*) FROM ") + table).toInt();
}

// Rows of every table a citation is spread over.
QList<int> citationRows(const TestDatabase& t)
{
    QList<int> counts;
    for (const QString& table :
         {QStringLiteral("case_master"), QStringLiteral("cm_judgment_master"),
          QStringLiteral("cm_nature_of_case_master"), QStringLiteral("cm_fact_summary_master"),
          QStringLiteral("cm_issue_master"), QStringLiteral("cm_rule_of_law_master"),
          QStringLiteral("cm_remarks_master"), QStringLiteral("cm_bench_name"), QStringLiteral("cmd_category_master"),
          QStringLiteral("cmd_court_master"), QStringLiteral("cmd_act_master")})
        counts << rows(t, table);
    return counts;
}

// What a load found, keys of the link rows aside: row, texts with their keys, links with their names, bench.
QStringList asLoaded(const Citation& c)
{
    QStringList out{QString::number(c.caseId), c.citation, c.caseTitle, c.judgmentDate.toString(Qt::ISODate)};
    for (int i = 0; i < Citation::kTextCount; ++i)
        out << QStringLiteral("%1=%2").arg(c.textIds[i]).arg(c.texts[i]);
    for (const QList<CitationLink>* links : {&c.categories, &c.courts, &c.acts})
        for (const CitationLink& l : *links)
            out << QStringLiteral("%1=%2=%3").arg(l.masterId).arg(l.name, l.section);
    return out << c.bench;
}

Citation sample()
{
    Citation c;
    c.citation = QStringLiteral("PLD 2003 SC 5");
    c.caseTitle = QStringLiteral("O'Neil's case \\ हिन्दी");
    c.judgmentDate = QDate(2003, 3, 5);
    c.text(Citation::Judgment) = QStringLiteral("Appeal allowed.\nCosts to follow.");
    c.text(Citation::NatureOfCase) = QStringLiteral("Civil appeal");
    c.text(Citation::FactSummary) = QStringLiteral("Facts with 'quotes' and \"double quotes\" and back\\slashes");
    c.text(Citation::Issue) = QStringLiteral("Ünïcödé issue — Ελληνικά 中文");
    c.text(Citation::RuleOfLaw) = QStringLiteral("rule X");
    c.text(Citation::Remarks) = QStringLiteral("remarks Y");
    c.categories = {{1, QStringLiteral("Tax"), {}}, {3, QStringLiteral("Criminal"), {}}};
    c.courts = {{2, QStringLiteral("High Court"), {}}};
    c.acts = {{1, QStringLiteral("Income Tax Ordinance"), QStringLiteral("s. 12(2)")},
              {2, QStringLiteral("Contract Act"), QStringLiteral("s. 73")}};
    c.bench = {QStringLiteral("Justice A"), QStringLiteral("Justice B")};
    return c;
}
} // namespace

Q_DECLARE_METATYPE(Citation)

// Runs against the engine named by LEXORIUM_TEST_ENGINE.
class TestCitationStore : public QObject
{
    Q_OBJECT

private slots:
    void firstCitationRoundTrip();
    void longestTextsAndOneTooMany();
    void lengthsCountCharactersAsTheDatabaseDoes();
    void placeholdersAndFreeBenchRows();
    void modifyRewritesLinksWithFreshKeys();
    void deleteRemovesElevenTablesKeepsMasters();
    void failureHalfwayStoresNothing();
    void vanishedCitationIsReported();
    void replacedCitationIsNotOverwritten();
    void olderCopyIsRefused_data();
    void olderCopyIsRefused();
    void benchRowsBeyondTheShownAreKept();
    void deletedMasterIsNamed_data();
    void deletedMasterIsNamed();
    void tablesOfTheRecord_data();
    void tablesOfTheRecord();
    void rulesOfTheRecord_data();
    void rulesOfTheRecord();
    void dateBeyondTheEnginesIsRefused();
    void wholeLoadNeedsEveryText();
};

void TestCitationStore::firstCitationRoundTrip()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    DbSession session(t.ctx());
    const CitationStore store(session);
    QCOMPARE(store.nextCaseId().valueOr(-1), qint64(1));

    Citation typed = sample();
    typed.caseTitle = QStringLiteral("  ") + typed.caseTitle + QStringLiteral("  ");
    typed.text(Citation::Remarks) = QStringLiteral("  remarks Y ");
    const Result<qint64> id = store.add(typed);
    QVERIFY2(id, qPrintable(id.error().description));
    QCOMPARE(*id, qint64(1));
    // Every row of the first citation has key 1; the links are numbered in list order.
    QCOMPARE(t.scalar(QStringLiteral("SELECT judgment_id FROM case_master WHERE case_id = 1")).toInt(), 1);
    QCOMPARE(t.scalar(QStringLiteral("SELECT id FROM cmd_act_master WHERE act_id = 2")).toInt(), 2);
    QCOMPARE(t.scalar(QStringLiteral("SELECT id FROM cm_bench_name WHERE bench_name = 'Justice B'")).toInt(), 2);
    // Add keeps the day that was picked.
    QCOMPARE(t.scalar(QStringLiteral("SELECT dt_of_judgment FROM case_master")).toDate(), QDate(2003, 3, 5));

    const Result<Citation> loaded = store.load(1);
    QVERIFY2(loaded, qPrintable(loaded.error().description));
    const Citation expected = sample();
    QCOMPARE(loaded->caseId, qint64(1));
    QCOMPARE(loaded->citation, expected.citation);
    QCOMPARE(loaded->caseTitle, expected.caseTitle);   // trimmed by add
    QCOMPARE(loaded->judgmentDate, QDate(2003, 3, 1)); // a load keeps month and year
    for (int i = 0; i < Citation::kTextCount; ++i)
        QCOMPARE(loaded->texts[i], expected.texts[i]);
    // Rule of law and remarks are not swapped.
    QCOMPARE(loaded->text(Citation::RuleOfLaw), QStringLiteral("rule X"));
    QCOMPARE(loaded->text(Citation::Remarks), QStringLiteral("remarks Y"));
    for (qint64 rowId : loaded->textIds)
        QCOMPARE(rowId, qint64(1));
    QCOMPARE(loaded->categories, expected.categories);
    QCOMPARE(loaded->courts, expected.courts);
    QCOMPARE(loaded->acts, expected.acts);
    QCOMPARE(loaded->bench, expected.bench);
    QCOMPARE(store.caseIds().valueOr({}), QList<qint64>{1});
    QCOMPARE(store.nextCaseId().valueOr(-1), qint64(2));

    // A second citation takes the next keys everywhere.
    QCOMPARE(store.add(sample()).valueOr(-1), qint64(2));
    QCOMPARE(t.scalar(QStringLiteral("SELECT remarks_id FROM case_master WHERE case_id = 2")).toInt(), 2);
}

void TestCitationStore::longestTextsAndOneTooMany()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    DbSession session(t.ctx());
    const CitationStore store(session);
    Citation c = sample();
    for (QString& text : c.texts)
        text = QString(7899, QChar(0x0939)) + QLatin1Char('\''); // Devanagari and a quote: 7,900 characters
    c.citation = QString(50, QLatin1Char('c'));
    c.acts[0].section = QString(200, QLatin1Char('s'));
    const Result<qint64> id = store.add(c);
    QVERIFY2(id, qPrintable(id.error().description));
    const Result<Citation> loaded = store.load(*id);
    QVERIFY(loaded);
    QCOMPARE(loaded->texts, c.texts);
    QCOMPARE(loaded->acts[0].section, c.acts[0].section);

    const QList<int> before = citationRows(t);
    Citation tooLong = c;
    tooLong.text(Citation::Issue) += QLatin1Char('x');
    Result<qint64> refused = store.add(tooLong);
    QVERIFY(!refused);
    QVERIFY2(refused.error().description.contains(QLatin1String("Issue")), qPrintable(refused.error().description));
    QCOMPARE(citationRows(t), before);
    // A change is refused the same way and leaves the stored citation as it was.
    tooLong = *loaded;
    tooLong.caseTitle = QString(51, QLatin1Char('t'));
    const Error e = store.modify(*loaded, tooLong);
    QVERIFY(e.description.contains(QLatin1String("Case")));
    QCOMPARE(store.load(*id)->caseTitle, c.caseTitle);
    tooLong = *loaded;
    tooLong.bench = QStringList(22, QStringLiteral("J"));
    QVERIFY(store.modify(*loaded, tooLong).isError());
    QCOMPARE(citationRows(t), before);
}

// Lengths are counted in characters, as the columns count them: a character outside the basic plane, two units
// of a QString, is one.
void TestCitationStore::lengthsCountCharactersAsTheDatabaseDoes()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    DbSession session(t.ctx());
    const CitationStore store(session);
    const QString face = QString::fromUtf8("\xF0\x9F\x98\x80");
    QCOMPARE(CitationRules::characterCount(face.repeated(3) + QStringLiteral("ab")), qsizetype(5));
    Citation c = sample();
    c.citation = face.repeated(CitationStore::kShortTextLimit);
    c.caseTitle = face.repeated(CitationStore::kShortTextLimit);
    for (QString& text : c.texts)
        text = face.repeated(CitationStore::kLongTextLimit);
    c.acts[0].section = face.repeated(CitationStore::kNameLimit);
    c.bench = {face.repeated(CitationStore::kNameLimit)};
    const Result<qint64> id = store.add(c);
    QVERIFY2(id, qPrintable(id.error().description));
    const Result<Citation> loaded = store.load(*id);
    QVERIFY(loaded);
    QCOMPARE(loaded->citation, c.citation);
    QCOMPARE(loaded->caseTitle, c.caseTitle);
    QCOMPARE(loaded->texts, c.texts);
    QCOMPARE(loaded->acts[0].section, c.acts[0].section);
    QCOMPARE(loaded->bench.value(0), c.bench[0]);

    // One more is refused, and the message counts characters too.
    const QList<int> before = citationRows(t);
    Citation tooLong = c;
    tooLong.text(Citation::Judgment) += face;
    QCOMPARE(store.add(tooLong).error().description,
             QStringLiteral("The Judgment may hold at most 7900 characters; it has 7901. Nothing was stored."));
    tooLong = c;
    tooLong.bench[0] += face;
    QCOMPARE(
        store.add(tooLong).error().description,
        QStringLiteral("The Bench name in row 1 may hold at most 200 characters; it has 201. Nothing was stored."));
    QCOMPARE(citationRows(t), before);
}

void TestCitationStore::placeholdersAndFreeBenchRows()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    DbSession session(t.ctx());
    const CitationStore store(session);
    Citation c = sample();
    c.categories = {
        {0, QStringLiteral("(None)"), {}}, {2, QStringLiteral("Civil"), {}}, {0, QStringLiteral("(NONE)"), {}}};
    c.courts = {{0, QStringLiteral("(none)"), {}}};
    c.bench = QStringList(Citation::kBenchRows);
    c.bench[1] = QStringLiteral(" Justice Two ");
    c.bench[4] = QStringLiteral("Justice Five");
    c.bench[7] = QStringLiteral("   ");
    const Result<qint64> id = store.add(c);
    QVERIFY(id);
    QCOMPARE(rows(t, QStringLiteral("cmd_category_master")), 1);
    QCOMPARE(rows(t, QStringLiteral("cmd_court_master")), 0);
    QCOMPARE(rows(t, QStringLiteral("cm_bench_name")), 2);
    // Consecutive keys; names stored as typed; reloaded into the first rows.
    QCOMPARE(t.scalar(QStringLiteral("SELECT id FROM cm_bench_name WHERE bench_name = 'Justice Five'")).toInt(), 2);
    const Result<Citation> loaded = store.load(*id);
    QCOMPARE(loaded->bench, QStringList({QStringLiteral(" Justice Two "), QStringLiteral("Justice Five")}));
    QCOMPARE(loaded->categories, QList<CitationLink>({{2, QStringLiteral("Civil"), {}}}));
}

void TestCitationStore::modifyRewritesLinksWithFreshKeys()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    DbSession session(t.ctx());
    const CitationStore store(session);
    const qint64 id = store.add(sample()).valueOr(-1);
    QCOMPARE(id, qint64(1));

    const Citation opened = *store.load(id);
    Citation c = opened;
    c.categories.clear();
    c.courts = {{1, QStringLiteral("Supreme Court"), {}}, {2, QStringLiteral("High Court"), {}}};
    c.acts = {{2, QStringLiteral("Contract Act"), QStringLiteral("s. 74")}};
    c.bench = {QStringLiteral("Justice C")};
    c.caseTitle = QStringLiteral("  kept as typed  ");
    c.text(Citation::Judgment) = QStringLiteral(" changed ");
    const Error e = store.modify(opened, c);
    QVERIFY2(!e, qPrintable(e.description));

    QCOMPARE(rows(t, QStringLiteral("cmd_category_master")), 0);
    // Fresh keys after the old ones: the court links were 1, the Acts 1 and 2, the bench 1 and 2.
    QCOMPARE(t.scalar(QStringLiteral("SELECT MIN(id) FROM cmd_court_master")).toInt(), 2);
    QCOMPARE(t.scalar(QStringLiteral("SELECT id FROM cmd_act_master")).toInt(), 3);
    QCOMPARE(t.scalar(QStringLiteral("SELECT id FROM cm_bench_name")).toInt(), 3);
    // The text rows keep their keys; nothing is trimmed; the date is the loaded first of the month.
    const Citation loaded = *store.load(id);
    QCOMPARE(loaded.textIds, c.textIds);
    QCOMPARE(loaded.caseTitle, QStringLiteral("  kept as typed  "));
    QCOMPARE(loaded.text(Citation::Judgment), QStringLiteral(" changed "));
    QCOMPARE(t.scalar(QStringLiteral("SELECT dt_of_judgment FROM case_master")).toDate(), QDate(2003, 3, 1));
    QCOMPARE(loaded.courts, c.courts);
    QCOMPARE(loaded.acts, c.acts);
    QCOMPARE(rows(t, QStringLiteral("cm_judgment_master")), 1);
}

void TestCitationStore::deleteRemovesElevenTablesKeepsMasters()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    DbSession session(t.ctx());
    const CitationStore store(session);
    const qint64 kept = store.add(sample()).valueOr(-1);
    const qint64 gone = store.add(sample()).valueOr(-1);
    QCOMPARE(gone, qint64(2));
    const Error e = store.remove(gone);
    QVERIFY2(!e, qPrintable(e.description));
    QCOMPARE(citationRows(t), QList<int>({1, 1, 1, 1, 1, 1, 1, 2, 2, 1, 2}));
    QCOMPARE(store.load(kept)->citation, sample().citation);
    QVERIFY(!store.exists(gone).valueOr(true));
    QCOMPARE(rows(t, QStringLiteral("category_master")), 3);
    QCOMPARE(rows(t, QStringLiteral("court_master")), 2);
    QCOMPARE(rows(t, QStringLiteral("act_master")), 2);
}

void TestCitationStore::failureHalfwayStoresNothing()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    DbSession session(t.ctx());
    const CitationStore store(session);
    // A court deleted meanwhile: the link is refused after the texts and the case row were written.
    Citation c = sample();
    c.courts = {{9, QStringLiteral("Gone Court"), {}}};
    QVERIFY(!store.add(c));
    QCOMPARE(citationRows(t), QList<int>(11, 0));

    // A failure injected at the last link of a change leaves the stored citation as it was.
    const qint64 id = store.add(sample()).valueOr(-1);
    const QList<int> before = citationRows(t);
    const Citation loaded = *store.load(id);
    Citation changed = loaded;
    changed.citation = QStringLiteral("changed");
    changed.bench = {QStringLiteral("Someone else")};
    session.failNextStatementContaining(QStringLiteral("INSERT INTO cmd_act_master"));
    QVERIFY(store.modify(loaded, changed).isError());
    QCOMPARE(citationRows(t), before);
    const Citation after = *store.load(id);
    QCOMPARE(after.citation, sample().citation);
    QCOMPARE(after.bench, sample().bench);
    // And the session is usable afterwards.
    QVERIFY(!store.modify(loaded, changed));
    QCOMPARE(store.load(id)->citation, QStringLiteral("changed"));
}

void TestCitationStore::vanishedCitationIsReported()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    DbSession session(t.ctx());
    const CitationStore store(session);
    const qint64 id = store.add(sample()).valueOr(-1);
    const Citation loaded = *store.load(id);
    {
        DbSession other(t.ctx());
        QVERIFY(!CitationStore(other).remove(id));
    }
    Error e = store.modify(loaded, loaded);
    QCOMPARE(e.description, CitationStore::vanishedMessage(id));
    QCOMPARE(e.kind, Error::Kind::NotFound);
    e = store.remove(id);
    QCOMPARE(e.description, CitationStore::vanishedMessage(id));
    QCOMPARE(e.kind, Error::Kind::NotFound);
    // So with the copy that was loaded.
    Citation changed = loaded;
    changed.citation = QStringLiteral("changed");
    QCOMPARE(store.modify(loaded, changed).kind, Error::Kind::NotFound);
    QCOMPARE(store.remove(loaded).description, CitationStore::vanishedMessage(id));
    QCOMPARE(citationRows(t), QList<int>(11, 0));
    // Loading a case that is not there gives an empty record, not an error.
    const Result<Citation> none = store.load(id);
    QVERIFY(none);
    QVERIFY(none->citation.isEmpty());
    QCOMPARE(none->textIds[0], qint64(0));
}

// A shows the newest citation; B deletes it and adds another, which takes the same case id and text keys. A's
// change and A's delete must not land on B's citation.
void TestCitationStore::replacedCitationIsNotOverwritten()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    DbSession sessionA(t.ctx());
    DbSession sessionB(t.ctx());
    const CitationStore a(sessionA);
    const CitationStore b(sessionB);
    QCOMPARE(b.add(sample()).valueOr(-1), qint64(1));
    QCOMPARE(b.add(sample()).valueOr(-1), qint64(2));
    const Citation shownToA = *a.load(2);

    QVERIFY(!b.remove(*b.load(2)));
    Citation other = sample();
    other.citation = QStringLiteral("2010 SCMR 1");
    other.text(Citation::Remarks) = QStringLiteral("B's remarks");
    other.bench = {QStringLiteral("Justice Z")};
    QCOMPARE(b.add(other).valueOr(-1), qint64(2));
    const Citation winner = *b.load(2);
    QCOMPARE(winner.textIds, shownToA.textIds); // only the stored contents tell the two apart
    const QStringList before = t.citationTableRows();

    Citation edited = shownToA;
    edited.text(Citation::Remarks) = QStringLiteral("A's remarks");
    Error e = a.modify(shownToA, edited);
    QCOMPARE(e.kind, Error::Kind::Conflict);
    QCOMPARE(e.description, CitationStore::changedMessage(2, false));
    QCOMPARE(t.citationTableRows(), before);
    e = a.remove(shownToA);
    QCOMPARE(e.kind, Error::Kind::Conflict);
    QCOMPARE(e.description, CitationStore::changedMessage(2, true));
    QCOMPARE(t.citationTableRows(), before);
    QCOMPARE(asLoaded(*a.load(2)), asLoaded(winner));
}

// A and B open one citation; A changes one part of it and stores it; B, still showing the old citation, changes
// the remarks. B's write is refused whichever part A changed, and A's citation stays exactly as A stored it.
void TestCitationStore::olderCopyIsRefused_data()
{
    QTest::addColumn<QString>("part");
    for (const char* part : {"citation", "case title", "date", "judgment", "remarks", "text row", "categories", "court",
                             "Act section", "Act order", "bench name", "bench row added"})
        QTest::newRow(part) << QString::fromLatin1(part);
}

void TestCitationStore::olderCopyIsRefused()
{
    QFETCH(QString, part);
    const std::map<QString, std::function<void(Citation&)>> changes{
        {QStringLiteral("citation"),
         [](Citation& c) {
             c.citation = QStringLiteral("PLD 2003 SC 6");
         }},
        {QStringLiteral("case title"),
         [](Citation& c) {
             c.caseTitle += QLatin1Char('.');
         }},
        {QStringLiteral("date"),
         [](Citation& c) {
             c.judgmentDate = QDate(2004, 3, 1);
         }},
        {QStringLiteral("judgment"),
         [](Citation& c) {
             c.text(Citation::Judgment) = QStringLiteral("A's judgment");
         }},
        {QStringLiteral("remarks"),
         [](Citation& c) {
             c.text(Citation::Remarks) = QStringLiteral("A's remarks");
         }},
        {QStringLiteral("text row"),
         [](Citation& c) {
             c.text(Citation::Issue) += QLatin1Char(' ');
         }},
        {QStringLiteral("categories"),
         [](Citation& c) {
             c.categories.removeLast();
         }},
        {QStringLiteral("court"),
         [](Citation& c) {
             c.courts = {{1, QStringLiteral("Supreme Court"), {}}};
         }},
        {QStringLiteral("Act section"),
         [](Citation& c) {
             c.acts[1].section = QStringLiteral("s. 74");
         }},
        {QStringLiteral("Act order"),
         [](Citation& c) {
             std::swap(c.acts[0], c.acts[1]);
         }},
        {QStringLiteral("bench name"),
         [](Citation& c) {
             c.bench[1] = QStringLiteral("Justice b");
         }},
        {QStringLiteral("bench row added"),
         [](Citation& c) {
             c.bench << QStringLiteral("Justice C");
         }},
    };
    QVERIFY(changes.count(part));

    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    DbSession sessionA(t.ctx());
    DbSession sessionB(t.ctx());
    const CitationStore a(sessionA);
    const CitationStore b(sessionB);
    QCOMPARE(a.add(sample()).valueOr(-1), qint64(1));
    QCOMPARE(a.add(sample()).valueOr(-1), qint64(2));
    const Citation openedByA = *a.load(1);
    const Citation openedByB = *b.load(1);

    Citation byA = openedByA;
    changes.at(part)(byA);
    Error e = a.modify(openedByA, byA);
    QVERIFY2(!e, qPrintable(e.description));
    const Citation winner = *a.load(1);
    const QStringList before = t.citationTableRows();

    Citation byB = openedByB;
    byB.text(Citation::Remarks) = QStringLiteral("B's remarks");
    e = b.modify(openedByB, byB);
    QCOMPARE(e.kind, Error::Kind::Conflict);
    QCOMPARE(e.description, CitationStore::changedMessage(1, false));
    QCOMPARE(t.citationTableRows(), before);
    QCOMPARE(b.remove(openedByB).kind, Error::Kind::Conflict);
    QCOMPARE(t.citationTableRows(), before);
    QCOMPARE(asLoaded(*b.load(1)), asLoaded(winner));

    // Reloaded, B's change goes in beside A's.
    const Citation reloaded = *b.load(1);
    byB = reloaded;
    byB.text(Citation::Remarks) = QStringLiteral("B's remarks");
    e = b.modify(reloaded, byB);
    QVERIFY2(!e, qPrintable(e.description));
    Citation both = byA;
    both.text(Citation::Remarks) = QStringLiteral("B's remarks");
    QCOMPARE(asLoaded(*a.load(1)), asLoaded(both));
}

// A citation that holds more bench names than the 21 a screen shows, as another tool or a merge may write it.
void TestCitationStore::benchRowsBeyondTheShownAreKept()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    DbSession sessionA(t.ctx());
    DbSession sessionB(t.ctx());
    const CitationStore a(sessionA);
    Citation c = sample();
    c.bench.clear();
    for (int i = 1; i <= Citation::kBenchRows; ++i)
        c.bench << QStringLiteral("Justice %1").arg(i);
    QCOMPARE(a.add(c).valueOr(-1), qint64(1));
    for (int i : {22, 23})
        QVERIFY(sessionB.execute(QStringLiteral("INSERT INTO cm_bench_name (id, bench_name, case_id) VALUES (?, ?, 1)"),
                                 {i, QStringLiteral("Justice %1").arg(i)}));

    const Citation loaded = *a.load(1);
    QCOMPARE(loaded.bench.size(), 23);
    // The screen hands over the 21 rows it shows, one of them changed, and the changed remarks.
    Citation edited = loaded;
    edited.bench = loaded.bench.mid(0, Citation::kBenchRows);
    edited.bench[2] = QStringLiteral("Justice Three");
    edited.bench[4].clear();
    edited.text(Citation::Remarks) = QStringLiteral("changed");
    Error e = a.modify(loaded, edited);
    QVERIFY2(!e, qPrintable(e.description));
    Citation expected = edited;
    expected.bench.removeAt(4);
    expected.bench << QStringLiteral("Justice 22") << QStringLiteral("Justice 23");
    QCOMPARE(a.load(1)->bench, expected.bench);
    QCOMPARE(a.load(1)->text(Citation::Remarks), QStringLiteral("changed"));
    // Written after the shown ones with fresh keys, like every rewritten bench row.
    QCOMPARE(t.scalar(QStringLiteral("SELECT MIN(id) FROM cm_bench_name")).toInt(), 24);
    QCOMPARE(t.scalar(QStringLiteral("SELECT id FROM cm_bench_name WHERE bench_name = 'Justice 23'")).toInt(), 45);
    // A second change keeps them too.
    const Citation reloaded = *a.load(1);
    Citation again = reloaded;
    again.bench = again.bench.mid(0, 3);
    QVERIFY(!a.modify(reloaded, again));
    QCOMPARE(a.load(1)->bench, expected.bench.mid(0, 3) + expected.bench.mid(Citation::kBenchRows));
}

// A category, court or Act deleted by another user after it was picked: the add or change is refused in the
// program's words, naming the row, and nothing is written.
void TestCitationStore::deletedMasterIsNamed_data()
{
    QTest::addColumn<bool>("adding");
    QTest::addColumn<QList<int>>("kinds");
    QTest::addColumn<QString>("message");
    const QString one = QStringLiteral(" was deleted by another user; nothing was stored.");
    for (bool adding : {true, false}) {
        const char* op = adding ? "add" : "modify";
        QTest::addRow("%s, category", op)
            << adding << QList<int>{int(MasterKind::Category)} << QStringLiteral("The category \"Civil\"") + one;
        QTest::addRow("%s, court", op) << adding << QList<int>{int(MasterKind::Court)}
                                       << QStringLiteral("The court \"High Court\"") + one;
        QTest::addRow("%s, Act", op) << adding << QList<int>{int(MasterKind::Act)}
                                     << QStringLiteral("The Act \"Contract Act\"") + one;
        QTest::addRow("%s, all three", op)
            << adding << QList<int>{int(MasterKind::Category), int(MasterKind::Court), int(MasterKind::Act)}
            << QStringLiteral("The category \"Civil\", the court \"High Court\" and the Act \"Contract Act\" were "
                              "deleted by another user; nothing was stored.");
    }
}

void TestCitationStore::deletedMasterIsNamed()
{
    QFETCH(bool, adding);
    QFETCH(QList<int>, kinds);
    QFETCH(QString, message);
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    DbSession sessionA(t.ctx());
    DbSession sessionB(t.ctx());
    const CitationStore a(sessionA);
    // Stored with the first rows of each master only, so that the second ones are free to be deleted.
    Citation c = sample();
    c.categories = {{1, QStringLiteral("Tax"), {}}};
    c.courts = {{1, QStringLiteral("Supreme Court"), {}}};
    c.acts = {{1, QStringLiteral("Income Tax Ordinance"), QStringLiteral("s. 1")}};
    QCOMPARE(a.add(c).valueOr(-1), qint64(1));
    const Citation loaded = *a.load(1);
    Citation edited = adding ? c : loaded;
    edited.categories << CitationLink{2, QStringLiteral("Civil"), {}};
    edited.courts << CitationLink{2, QStringLiteral("High Court"), {}};
    edited.acts << CitationLink{2, QStringLiteral("Contract Act"), QStringLiteral("s. 73")};

    for (int kind : kinds) {
        const Error removed = MasterStore(sessionB, MasterKind(kind)).remove(2);
        QVERIFY2(!removed, qPrintable(removed.description));
    }
    const QStringList before = t.citationTableRows();
    const Error e = adding ? a.add(edited).error() : a.modify(loaded, edited);
    QCOMPARE(e.kind, Error::Kind::NotFound);
    QCOMPARE(e.description, message);
    QCOMPARE(t.citationTableRows(), before);
    // The session goes on: without those links the write goes in.
    if (kinds.contains(int(MasterKind::Category)))
        edited.categories.removeLast();
    if (kinds.contains(int(MasterKind::Court)))
        edited.courts.removeLast();
    if (kinds.contains(int(MasterKind::Act)))
        edited.acts.removeLast();
    const Error written = adding ? a.add(edited).error() : a.modify(loaded, edited);
    QVERIFY2(!written, qPrintable(written.description));
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM case_master")).toInt(), adding ? 2 : 1);
}

// Each text and each row table of the record as the schema declares them, whatever order its lists keep.
void TestCitationStore::tablesOfTheRecord_data()
{
    QTest::addColumn<int>("text");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("keyColumn");
    QTest::addColumn<QString>("caption");
    const auto row = [](const char* name, Citation::Text text, const char* table, const char* column,
                        const char* keyColumn, const char* caption) {
        QTest::newRow(name) << int(text) << QString::fromLatin1(table) << QString::fromLatin1(column)
                            << QString::fromLatin1(keyColumn) << QString::fromLatin1(caption);
    };
    row("judgment", Citation::Judgment, "cm_judgment_master", "judgment", "judgment_id", "Judgment");
    row("nature of case", Citation::NatureOfCase, "cm_nature_of_case_master", "nature_of_case", "nature_case_id",
        "Nature of case");
    row("fact summary", Citation::FactSummary, "cm_fact_summary_master", "fact_summary", "fact_summary_id",
        "Fact summary");
    row("issue", Citation::Issue, "cm_issue_master", "issue", "issue_id", "Issue");
    row("rule of law", Citation::RuleOfLaw, "cm_rule_of_law_master", "rule_of_law", "rule_of_law_id", "Rule of law");
    row("remarks", Citation::Remarks, "cm_remarks_master", "remarks", "remarks_id", "Remarks");
}

void TestCitationStore::tablesOfTheRecord()
{
    QFETCH(int, text);
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(QString, keyColumn);
    QFETCH(QString, caption);
    const CitationTextTable& t = CitationTables::text(Citation::Text(text));
    QCOMPARE(int(t.text), text);
    QCOMPARE(t.table, table);
    QCOMPARE(t.column, column);
    QCOMPARE(t.keyColumn, keyColumn);
    QCOMPARE(t.caption, caption);
    QCOMPARE(t.maxLength, CitationStore::kLongTextLimit);

    // The rest of the record, once.
    if (text != Citation::Judgment)
        return;
    QCOMPARE(CitationTables::caseColumns(),
             QString::fromLatin1("case_id,citation,judgment_id,c_case,nature_case_id,fact_summary_id,issue_id,"
                                 "rule_of_law_id,remarks_id,dt_of_judgment")
                 .split(QLatin1Char(',')));
    QCOMPARE(CitationTables::citationLength(), CitationStore::kShortTextLimit);
    QCOMPARE(CitationTables::caseTitleLength(), CitationStore::kShortTextLimit);
    QStringList rowTables;
    for (const CitationRowTable& r : CitationTables::rowTables())
        rowTables << QStringList{r.table,
                                 r.caseColumn,
                                 r.masterColumn,
                                 r.master,
                                 r.nameColumn,
                                 r.textColumn,
                                 QString::number(r.textLength)}
                         .join(QLatin1Char('/'));
    QCOMPARE(rowTables, (QStringList{QStringLiteral("cm_bench_name/case_id////bench_name/200"),
                                     QStringLiteral("cmd_category_master/cmd_id/cat_id/category_master/category//0"),
                                     QStringLiteral("cmd_court_master/cmd_id/court_id/court_master/court_name//0"),
                                     QStringLiteral("cmd_act_master/cmd_id/act_id/act_master/act/section/200")}));
    QCOMPARE(CitationTables::acts().textLength, CitationStore::kNameLimit);
}

// The rules in the order they are told: the citation must be there; then each column's limit, the bench's 21
// names and the date. A citation typed with the refused punctuation is no rule of the record: a merge may bring
// one in, and it must stay writable.
void TestCitationStore::rulesOfTheRecord_data()
{
    QTest::addColumn<Citation>("citation");
    QTest::addColumn<QString>("required");
    QTest::addColumn<QString>("limits");
    const QString none;
    const QString empty = QStringLiteral("Please enter the citation.");
    Citation c = sample();
    QTest::newRow("as entered") << c << none << none;
    c.citation = QStringLiteral(" \t ");
    QTest::newRow("citation of blanks") << c << empty << none;
    c = sample();
    c.citation = QStringLiteral("A/B: 1");
    QTest::newRow("refused punctuation") << c << none << none;
    c.citation = QString(51, QLatin1Char('c'));
    QTest::newRow("citation too long")
        << c << none << QStringLiteral("The Citation may hold at most 50 characters; it has 51. Nothing was stored.");
    c = sample();
    c.caseTitle = QString(51, QLatin1Char('t'));
    QTest::newRow("case too long") << c << none
                                   << QStringLiteral("The Case may hold at most 50 characters; it has 51. Nothing "
                                                     "was stored.");
    c = sample();
    c.text(Citation::RuleOfLaw) = QString(7901, QLatin1Char('r'));
    QTest::newRow("rule of law too long")
        << c << none
        << QStringLiteral("The Rule of law may hold at most 7900 characters; it has 7901. Nothing was stored.");
    c = sample();
    c.acts[0].section = QString(201, QLatin1Char('s'));
    QTest::newRow("section too long") << c << none
                                      << QStringLiteral("The Section of %1 may hold at most 200 characters; it has "
                                                        "201. Nothing was stored.")
                                             .arg(c.acts[0].name);
    c = sample();
    c.bench = QStringList(21, QStringLiteral("Justice A"));
    QTest::newRow("21 bench names") << c << none << none;
    c.bench << QString();
    QTest::newRow("22 bench rows") << c << none
                                   << QStringLiteral("A citation has at most 21 bench names. Nothing was stored.");
    c = sample();
    c.judgmentDate = QDate();
    QTest::newRow("no date") << c << none << none;
    c.judgmentDate = QDate(9999, 12, 31);
    QTest::newRow("last date") << c << none << none;
    c.judgmentDate = QDate(10000, 1, 1);
    QTest::newRow("year 10000")
        << c << none
        << QStringLiteral("The date of judgment must lie between the years 1 and 9999. Nothing was stored.");
    c.judgmentDate = QDate(-1, 6, 1);
    QTest::newRow("year before 1")
        << c << none
        << QStringLiteral("The date of judgment must lie between the years 1 and 9999. Nothing was stored.");
    c = sample();
    c.citation.clear();
    c.caseTitle = QString(51, QLatin1Char('t'));
    QTest::newRow("empty and too long") << c << empty
                                        << QStringLiteral("The Case may hold at most 50 characters; it has 51. "
                                                          "Nothing was stored.");
}

void TestCitationStore::rulesOfTheRecord()
{
    QFETCH(Citation, citation);
    QFETCH(QString, required);
    QFETCH(QString, limits);
    QCOMPARE(CitationRules::requiredError(citation).description, required);
    QCOMPARE(CitationRules::limitsError(citation).description, limits);
}

// A date the engines would write as something else is refused before anything is written, by add and modify.
void TestCitationStore::dateBeyondTheEnginesIsRefused()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    DbSession session(t.ctx());
    const CitationStore store(session);
    Citation c = sample();
    c.judgmentDate = QDate(10000, 3, 5);
    QVERIFY(!store.add(c));
    QCOMPARE(rows(t, QStringLiteral("case_master")), 0);
    c.judgmentDate = QDate(9999, 3, 5);
    const Result<qint64> id = store.add(c);
    QVERIFY2(id, qPrintable(id.error().description));
    const Result<Citation> loaded = store.load(*id);
    QVERIFY(loaded);
    QCOMPARE(loaded->judgmentDate, QDate(9999, 3, 1));
    const QStringList before = t.citationTableRows();
    Citation edited = *loaded;
    edited.judgmentDate = QDate(12000, 1, 1);
    QVERIFY(store.modify(*loaded, edited).isError());
    QCOMPARE(t.citationTableRows(), before);
}

// The whole load is the plain load when every text row is there, and NotFound otherwise.
void TestCitationStore::wholeLoadNeedsEveryText()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    DbSession session(t.ctx());
    const CitationStore store(session);
    const Result<qint64> id = store.add(sample());
    QVERIFY(id);
    const Result<Citation> whole = store.loadWhole(*id);
    QVERIFY2(whole, qPrintable(whole.error().description));
    QCOMPARE(asLoaded(*whole), asLoaded(store.load(*id).value()));
    QCOMPARE(store.loadWhole(*id + 1).error().kind, Error::Kind::NotFound);
    for (const CitationTextTable& text : CitationTables::texts()) {
        const QString set = QStringLiteral("UPDATE case_master SET %1 = ? WHERE case_id = ?").arg(text.keyColumn);
        QVERIFY(t.exec(set, {QVariant(QMetaType::fromType<qint64>()), *id}));
        QCOMPARE(store.loadWhole(*id).error().kind, Error::Kind::NotFound);
        // The plain load still finds the citation's lists.
        QCOMPARE(store.load(*id)->categories, whole->categories);
        QVERIFY(t.exec(set, {whole->textIds[text.text], *id}));
    }
    QVERIFY(store.loadWhole(*id));
}

QTEST_GUILESS_MAIN(TestCitationStore)
#include "tst_citation_store.moc"
