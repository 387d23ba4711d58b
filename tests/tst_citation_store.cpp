#include "core/citations/citation_store.h"
#include "core/db/db_session.h"
#include "support/test_database.h"

#include <QTest>

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
    const DbResult<qint64> id = store.add(typed);
    QVERIFY2(id, qPrintable(id.error().description));
    QCOMPARE(*id, qint64(1));
    // Every row of the first citation has key 1; the links are numbered in list order.
    QCOMPARE(t.scalar(QStringLiteral("SELECT judgment_id FROM case_master WHERE case_id = 1")).toInt(), 1);
    QCOMPARE(t.scalar(QStringLiteral("SELECT id FROM cmd_act_master WHERE act_id = 2")).toInt(), 2);
    QCOMPARE(t.scalar(QStringLiteral("SELECT id FROM cm_bench_name WHERE bench_name = 'Justice B'")).toInt(), 2);
    // Add keeps the day that was picked.
    QCOMPARE(t.scalar(QStringLiteral("SELECT dt_of_judgment FROM case_master")).toDate(), QDate(2003, 3, 5));

    const DbResult<Citation> loaded = store.load(1);
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
    const DbResult<qint64> id = store.add(c);
    QVERIFY2(id, qPrintable(id.error().description));
    const DbResult<Citation> loaded = store.load(*id);
    QVERIFY(loaded);
    QCOMPARE(loaded->texts, c.texts);
    QCOMPARE(loaded->acts[0].section, c.acts[0].section);

    const QList<int> before = citationRows(t);
    Citation tooLong = c;
    tooLong.text(Citation::Issue) += QLatin1Char('x');
    DbResult<qint64> refused = store.add(tooLong);
    QVERIFY(!refused);
    QVERIFY2(refused.error().description.contains(QLatin1String("Issue")), qPrintable(refused.error().description));
    QCOMPARE(citationRows(t), before);
    // A change is refused the same way and leaves the stored citation as it was.
    tooLong = *loaded;
    tooLong.caseTitle = QString(51, QLatin1Char('t'));
    const DbError e = store.modify(tooLong);
    QVERIFY(e.description.contains(QLatin1String("Case")));
    QCOMPARE(store.load(*id)->caseTitle, c.caseTitle);
    tooLong = *loaded;
    tooLong.bench = QStringList(22, QStringLiteral("J"));
    QVERIFY(store.modify(tooLong).isError());
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
    QCOMPARE(CitationStore::characterCount(face.repeated(3) + QStringLiteral("ab")), qsizetype(5));
    Citation c = sample();
    c.citation = face.repeated(CitationStore::kShortTextLimit);
    c.caseTitle = face.repeated(CitationStore::kShortTextLimit);
    for (QString& text : c.texts)
        text = face.repeated(CitationStore::kLongTextLimit);
    c.acts[0].section = face.repeated(CitationStore::kNameLimit);
    c.bench = {face.repeated(CitationStore::kNameLimit)};
    const DbResult<qint64> id = store.add(c);
    QVERIFY2(id, qPrintable(id.error().description));
    const DbResult<Citation> loaded = store.load(*id);
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
    const DbResult<qint64> id = store.add(c);
    QVERIFY(id);
    QCOMPARE(rows(t, QStringLiteral("cmd_category_master")), 1);
    QCOMPARE(rows(t, QStringLiteral("cmd_court_master")), 0);
    QCOMPARE(rows(t, QStringLiteral("cm_bench_name")), 2);
    // Consecutive keys; names stored as typed; reloaded into the first rows.
    QCOMPARE(t.scalar(QStringLiteral("SELECT id FROM cm_bench_name WHERE bench_name = 'Justice Five'")).toInt(), 2);
    const DbResult<Citation> loaded = store.load(*id);
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

    Citation c = *store.load(id);
    c.categories.clear();
    c.courts = {{1, QStringLiteral("Supreme Court"), {}}, {2, QStringLiteral("High Court"), {}}};
    c.acts = {{2, QStringLiteral("Contract Act"), QStringLiteral("s. 74")}};
    c.bench = {QStringLiteral("Justice C")};
    c.caseTitle = QStringLiteral("  kept as typed  ");
    c.text(Citation::Judgment) = QStringLiteral(" changed ");
    const DbError e = store.modify(c);
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
    const DbError e = store.remove(gone);
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
    Citation changed = *store.load(id);
    changed.citation = QStringLiteral("changed");
    changed.bench = {QStringLiteral("Someone else")};
    session.failNextStatementContaining(QStringLiteral("INSERT INTO cmd_act_master"));
    QVERIFY(store.modify(changed).isError());
    QCOMPARE(citationRows(t), before);
    const Citation after = *store.load(id);
    QCOMPARE(after.citation, sample().citation);
    QCOMPARE(after.bench, sample().bench);
    // And the session is usable afterwards.
    QVERIFY(!store.modify(changed));
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
    DbError e = store.modify(loaded);
    QCOMPARE(e.description, CitationStore::vanishedMessage(id));
    e = store.remove(id);
    QCOMPARE(e.description, CitationStore::vanishedMessage(id));
    QCOMPARE(citationRows(t), QList<int>(11, 0));
    // Loading a case that is not there gives an empty record, not an error.
    const DbResult<Citation> none = store.load(id);
    QVERIFY(none);
    QVERIFY(none->citation.isEmpty());
    QCOMPARE(none->textIds[0], qint64(0));
}

QTEST_GUILESS_MAIN(TestCitationStore)
#include "tst_citation_store.moc"
