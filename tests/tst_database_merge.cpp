// Merging a second database into the present one: every distinct citation once with all its rows, master names
// once, the present rows under their keys, the second database unchanged, and no failure that loses a row.
#include "core/citations/citation_store.h"
#include "core/db/database_admin.h"
#include "core/db/db_session.h"
#include "core/db/schema.h"
#include "core/db/sqlite_dialect.h"
#include "core/search/citation_search.h"
#include "core/sync/database_merge.h"
#include "support/test_database.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
// The outcome of a run that did not fail, -1 for one that did.
int outcomeOf(const Result<DatabaseMerge::Summary>& r)
{
    return r ? int(r->outcome) : -1;
}

QString uniqueName()
{
    static QAtomicInt counter;
    return QStringLiteral("lxm_%1_%2").arg(QCoreApplication::applicationPid()).arg(counter.fetchAndAddRelaxed(1));
}

// One database of the test, on either engine, dropped at the end.
class Side
{
public:
    ~Side()
    {
        if (m_created)
            DatabaseAdmin::dropDatabase(m_ctx);
    }

    // With schemaVersion 1 the database is made as the first version of the program made it.
    bool make(bool postgres, QString* why, int schemaVersion = Schema::kCurrentVersion)
    {
        ConnectionString settings{QStringLiteral("(local)"), QStringLiteral("sa"), QString(), QStringLiteral("pw")};
        if (postgres) {
            if (!TestDatabase::isPostgres()) {
                *why = QStringLiteral("needs the PostgreSQL run");
                return false;
            }
            if (!TestDatabase::serverSettings(&settings, why))
                return false;
        }
        settings.database = uniqueName();
        m_ctx = {m_dir.path(), settings};
        if (Error e = DatabaseAdmin::createDatabase(m_ctx)) {
            *why = e.description;
            return false;
        }
        m_created = true;
        DbSession s(m_ctx);
        Error e;
        if (schemaVersion == 1) {
            e = inTransaction(s, [&]() -> Error {
                for (auto step : {&Schema::createMasterTables, &Schema::createCaseTable, &Schema::createLinkTables,
                                  &Schema::addForeignKeys})
                    if (Error err = step(s))
                        return err;
                return {};
            });
        } else {
            e = Schema::create(s);
        }
        if (e)
            *why = e.description;
        return !e;
    }

    const DbContext& ctx() const { return m_ctx; }

    // How the merge screen names this database: an embedded one by the full path of its file.
    MergeSource source() const
    {
        const ConnectionString& c = m_ctx.connection;
        if (c.isEmbedded())
            return {c.server, SqliteDialect::databaseFile(m_ctx), c.user, c.password};
        return {c.server, c.database, c.user, c.password};
    }

    bool exec(const QString& sql, const QVariantList& values = {}) const
    {
        DbSession s(m_ctx);
        const Result<int> r = s.execute(sql, values);
        if (!r)
            qWarning("%s: %s", qPrintable(sql), qPrintable(r.error().description));
        return bool(r);
    }

    bool masters(const QString& table, const QString& column, const QStringList& names) const
    {
        for (int i = 0; i < names.size(); ++i)
            if (!exec(QStringLiteral("INSERT INTO %1 (id,%2) VALUES (?,?)").arg(table, column),
                      {i + 1, names[i].isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(names[i])}))
                return false;
        return true;
    }

    qint64 add(const Citation& c) const
    {
        DbSession s(m_ctx);
        const Result<qint64> id = CitationStore(s).add(c);
        if (!id)
            qWarning("add: %s", qPrintable(id.error().description));
        return id ? *id : 0;
    }

    QList<Citation> all() const
    {
        DbSession s(m_ctx);
        CitationStore store(s);
        QList<Citation> result;
        QList<qint64> ids = store.caseIds().valueOr({});
        std::sort(ids.begin(), ids.end());
        for (qint64 id : ids)
            result << store.load(id).valueOr({});
        return result;
    }

    QStringList names(const QString& table, const QString& column) const
    {
        DbSession s(m_ctx);
        QStringList result;
        Result<QSqlQuery> q = s.query(QStringLiteral("SELECT id, %1 FROM %2 ORDER BY id").arg(column, table));
        while (q && q->next())
            result << QStringLiteral("%1=%2").arg(q->value(0).toLongLong()).arg(q->value(1).toString());
        return result;
    }

    // Every row of the fourteen tables, in key order.
    QStringList dump() const
    {
        DbSession s(m_ctx);
        QStringList rows;
        for (const TableDef& t : Schema::allTables()) {
            QStringList columns;
            for (const ColumnDef& c : t.columns)
                columns << c.name;
            Result<QSqlQuery> q = s.query(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                                              .arg(columns.join(QLatin1Char(',')), t.name, columns[0]));
            if (!q)
                return {QStringLiteral("unreadable: ") + q.error().description};
            while (q->next()) {
                QStringList values{t.name};
                for (int i = 0; i < columns.size(); ++i)
                    values << (q->value(i).isNull() ? QStringLiteral("<null>") : q->value(i).toString());
                rows << values.join(QLatin1Char('|'));
            }
        }
        return rows;
    }

private:
    QTemporaryDir m_dir;
    DbContext m_ctx;
    bool m_created = false;
};

Citation citation(const QString& text, QDate date, const QString& title, QList<qint64> categories, QList<qint64> courts,
                  QList<std::pair<qint64, QString>> acts, QStringList bench)
{
    Citation c;
    c.citation = text;
    c.judgmentDate = date;
    c.caseTitle = title;
    for (int i = 0; i < Citation::kTextCount; ++i)
        c.texts[i] = QStringLiteral("%1 text %2 of %3").arg(title).arg(i).arg(text);
    for (qint64 id : categories)
        c.categories.append({id, QString(), QString()});
    for (qint64 id : courts)
        c.courts.append({id, QString(), QString()});
    for (const auto& [id, section] : acts)
        c.acts.append({id, QString(), section});
    c.bench = bench;
    return c;
}

QStringList linkNames(const QList<CitationLink>& links)
{
    QStringList names;
    for (const CitationLink& l : links)
        names << (l.name + QLatin1Char('/') + l.section);
    return names;
}

// Equal as a user sees it; keys may differ.
bool sameContent(const Citation& a, const Citation& b, QString* why)
{
    auto differ = [why](const QString& what, const QString& x, const QString& y) {
        *why = QStringLiteral("%1 differs: \"%2\" / \"%3\"").arg(what, x, y);
        return false;
    };
    if (a.citation != b.citation)
        return differ(QStringLiteral("citation"), a.citation, b.citation);
    if (a.caseTitle != b.caseTitle)
        return differ(QStringLiteral("title"), a.caseTitle, b.caseTitle);
    if (a.judgmentDate != b.judgmentDate)
        return differ(QStringLiteral("date"), a.judgmentDate.toString(), b.judgmentDate.toString());
    for (int i = 0; i < Citation::kTextCount; ++i)
        if (a.texts[i] != b.texts[i])
            return differ(QStringLiteral("text %1").arg(i), a.texts[i], b.texts[i]);
    for (auto [x, y, what] : {std::tuple{&a.categories, &b.categories, "categories"},
                              std::tuple{&a.courts, &b.courts, "courts"}, std::tuple{&a.acts, &b.acts, "acts"}})
        if (linkNames(*x) != linkNames(*y))
            return differ(QLatin1String(what), linkNames(*x).join(QLatin1Char(',')),
                          linkNames(*y).join(QLatin1Char(',')));
    if (a.bench != b.bench)
        return differ(QStringLiteral("bench"), a.bench.join(QLatin1Char(',')), b.bench.join(QLatin1Char(',')));
    return true;
}

const Citation* byText(const QList<Citation>& list, const QString& text)
{
    for (const Citation& c : list)
        if (c.citation == text)
            return &c;
    return nullptr;
}

// A working database as a run makes it.
bool makeScratch(const DbContext& ctx)
{
    if (DatabaseAdmin::createDatabase(ctx))
        return false;
    DbSession s(ctx);
    return s.isOpen() && !Schema::createScratch(s);
}

QVariant recordedVersion(const DbContext& ctx)
{
    DbSession s(ctx);
    Result<QSqlQuery> q = s.query(s.dialect().schemaVersionQuery());
    return q && q->next() ? q->value(0) : QVariant(QStringLiteral("unreadable"));
}

bool workingGone(const DatabaseMerge& merge)
{
    for (const QString& name : {merge.oldDbName(), merge.synDbName(), merge.newDbName()})
        if (!TestDatabase::openError(merge.workingContext(name)).isError())
            return false;
    return true;
}
} // namespace

// Two empty databases of the engine under test, a merge's present and second, in the test function's scope.
#define LEX_MAKE_SIDES(present, second)                                                                                \
    Side present;                                                                                                      \
    Side second;                                                                                                       \
    do {                                                                                                               \
        QString why_;                                                                                                  \
        QVERIFY2(present.make(TestDatabase::isPostgres(), &why_), qPrintable(why_));                                   \
        QVERIFY2(second.make(TestDatabase::isPostgres(), &why_), qPrintable(why_));                                    \
    } while (false)

class TestDatabaseMerge : public QObject
{
    Q_OBJECT

private:
    // Present: categories Tax, Civil, Criminal; courts Supreme Court, High Court; Acts Income Tax Ordinance,
    // Contract Act; three citations. Second: overlapping and new names under other keys, three citations, one of
    // them the present "2004 SCMR 10" judged the same month, one with apostrophes and empty texts.
    bool fill(Side& present, Side& second)
    {
        if (!present.masters(QStringLiteral("category_master"), QStringLiteral("category"),
                             {QStringLiteral("Tax"), QStringLiteral("Civil"), QStringLiteral("Criminal")}) ||
            !present.masters(QStringLiteral("court_master"), QStringLiteral("court_name"),
                             {QStringLiteral("Supreme Court"), QStringLiteral("High Court")}) ||
            !present.masters(QStringLiteral("act_master"), QStringLiteral("act"),
                             {QStringLiteral("Income Tax Ordinance"), QStringLiteral("Contract Act")}))
            return false;
        if (!second.masters(QStringLiteral("category_master"), QStringLiteral("category"),
                            {QStringLiteral("Family"), QStringLiteral("tax "), QStringLiteral("CRIMINAL"),
                             QStringLiteral("Family")}) ||
            !second.masters(QStringLiteral("court_master"), QStringLiteral("court_name"),
                            {QStringLiteral("District Court"), QStringLiteral("High Court")}) ||
            !second.masters(QStringLiteral("act_master"), QStringLiteral("act"),
                            {QStringLiteral("Owner's Act"), QStringLiteral("Contract Act")}))
            return false;
        const QList<Citation> mine{
            citation(QStringLiteral("2004 SCMR 10"), {2004, 3, 1}, QStringLiteral("Ahmed v. State"), {1, 3}, {1},
                     {{1, QStringLiteral("s. 12")}}, {QStringLiteral("Justice A"), QStringLiteral("Justice B")}),
            citation(QStringLiteral("1999 PLD 5"), {1999, 7, 1}, QStringLiteral("Bano v. Khan"), {2}, {2},
                     {{2, QStringLiteral("s. 3")}}, {QStringLiteral("Justice C")}),
            citation(QStringLiteral("2010 CLC 77"), {2010, 1, 1}, QStringLiteral("Din v. Din"), {}, {}, {}, {})};
        for (const Citation& c : mine)
            if (!present.add(c))
                return false;
        Citation same = citation(QStringLiteral("2004 SCMR 10"), {2004, 3, 1}, QStringLiteral("Other title"), {1}, {1},
                                 {{1, QStringLiteral("s. 99")}}, {QStringLiteral("Justice Z")});
        Citation quoted =
            citation(QStringLiteral("2001 O'Neil's 4"), {2001, 2, 1}, QStringLiteral("O'Neil v. 'Crown'"), {2, 1},
                     {1, 2}, {{1, QStringLiteral("s. 'a'")}, {2, QString()}}, {QStringLiteral("Justice D'Souza")});
        quoted.texts[Citation::Remarks].clear();
        quoted.texts[Citation::Issue].clear();
        const QList<Citation> theirs{
            same, quoted,
            citation(QStringLiteral("2004 SCMR 10"), {2005, 3, 1}, QStringLiteral("Next year"), {3}, {2}, {},
                     {QStringLiteral("Justice E")}),
            // The same citation twice in the second database goes in once.
            citation(QStringLiteral("2001 O'Neil's 4"), {2001, 2, 1}, QStringLiteral("Again"), {4}, {}, {}, {})};
        for (const Citation& c : theirs)
            if (!second.add(c))
                return false;
        return true;
    }

    void mergeAndCheck(bool presentOnPostgres, bool secondOnPostgres, int secondVersion);

private slots:
    void mergesEverythingOnce();
    void mergesAcrossEngines_data();
    void mergesAcrossEngines();
    void mergesOlderSecondDatabase();
    void reportsTheRunsSteps();
    void reportsTheWriteBackCitationByCitation();
    void failureLeavesPresentAsItWas_data();
    void failureLeavesPresentAsItWas();
    void changeDuringRunIsRefused();
    void dropsLeftovers();
    void refusesSameDatabase();
    void refusesWrongLogin();
    void refusesForeignDatabase();
    void refusesUnusableSecondDatabase_data();
    void refusesUnusableSecondDatabase();
    void refusesSameDatabaseSpelledOtherwise();
    void dropsLeftoversButNotThoseOfARunningMerge();
};

void TestDatabaseMerge::mergeAndCheck(bool presentOnPostgres, bool secondOnPostgres, int secondVersion)
{
    Side present;
    Side second;
    QString why;
    if (!present.make(presentOnPostgres, &why) || !second.make(secondOnPostgres, &why, secondVersion))
        QSKIP(qPrintable(why));
    QVERIFY(fill(present, second));
    const QList<Citation> before = present.all();
    const QList<Citation> theirs = second.all();
    const QStringList secondDump = second.dump();
    const QVariant versionBefore = recordedVersion(second.ctx());

    DatabaseMerge merge(present.ctx(), second.source());
    const Result<DatabaseMerge::Summary> r = merge.run();
    QVERIFY2(r.ok(), qPrintable(r.error().description));
    QCOMPARE(r->message, QString());
    QCOMPARE(outcomeOf(r), int(DatabaseMerge::Outcome::Merged));
    QCOMPARE(r->citationsAdded, qint64(2));
    QVERIFY(workingGone(merge));
    QCOMPARE(second.dump(), secondDump);
    QCOMPARE(recordedVersion(second.ctx()), versionBefore);

    // Master names once each, the present rows under their keys, new names after the largest key.
    QCOMPARE(present.names(QStringLiteral("category_master"), QStringLiteral("category")),
             QStringList({QStringLiteral("1=Tax"), QStringLiteral("2=Civil"), QStringLiteral("3=Criminal"),
                          QStringLiteral("4=Family")}));
    QCOMPARE(present.names(QStringLiteral("court_master"), QStringLiteral("court_name")),
             QStringList({QStringLiteral("1=Supreme Court"), QStringLiteral("2=High Court"),
                          QStringLiteral("3=District Court")}));
    QCOMPARE(present.names(QStringLiteral("act_master"), QStringLiteral("act")),
             QStringList({QStringLiteral("1=Income Tax Ordinance"), QStringLiteral("2=Contract Act"),
                          QStringLiteral("3=Owner's Act")}));

    const QList<Citation> after = present.all();
    QCOMPARE(after.size(), 5);
    // The present citations exactly as they were, keys included.
    for (int i = 0; i < before.size(); ++i) {
        QCOMPARE(after[i].caseId, before[i].caseId);
        QString differs;
        QVERIFY2(sameContent(after[i], before[i], &differs), qPrintable(differs));
        QCOMPARE(after[i].textIds, before[i].textIds);
        QCOMPARE(linkNames(after[i].categories), linkNames(before[i].categories));
    }
    // The second's new citations under the next keys, in their order, each as the second database has it.
    QCOMPARE(after[3].caseId, qint64(4));
    QCOMPARE(after[4].caseId, qint64(5));
    QString differs;
    // Names as the present database spells them where they matched.
    Citation quoted = theirs[1];
    quoted.categories[0].name = QStringLiteral("Tax");
    QVERIFY2(sameContent(after[3], quoted, &differs), qPrintable(differs));
    QCOMPARE(after[3].texts[Citation::Remarks], QString());
    Citation nextYear = theirs[2];
    nextYear.categories[0].name = QStringLiteral("Criminal");
    QVERIFY2(sameContent(after[4], nextYear, &differs), qPrintable(differs));
    for (int i = 0; i < Citation::kTextCount; ++i)
        QVERIFY(after[4].textIds[i] > before.last().textIds[i]);
    // "2004 SCMR 10" of March 2004 once, with the present database's links.
    QVERIFY2(sameContent(*byText(after, QStringLiteral("2004 SCMR 10")), before[0], &differs), qPrintable(differs));

    // The present database's search index took the new rows in: Find Citation finds them by their own texts.
    DbSession session(present.ctx());
    QVERIFY2(session.isOpen(), qPrintable(session.error().description));
    for (const Citation& added : {after[3], after[4]}) {
        SearchRequest request;
        request.text = added.citation;
        request.field = SearchField::Citation;
        QList<qint64> found;
        const Error e = CitationSearch(session).run(CitationSearch::passesFor(request), request,
                                                    [&](const SearchHit& hit) { found << hit.caseId; });
        QVERIFY2(!e, qPrintable(e.description));
        QVERIFY2(found.contains(added.caseId), qPrintable(added.citation));
    }
    // On the server, the trigram indexes are back to taking each write at once.
    if (presentOnPostgres) {
        Result<QSqlQuery> q = session.query(
            QStringLiteral("SELECT COUNT(*) FROM pg_class WHERE relkind = 'i' AND relname LIKE 'search%' AND "
                           "NOT ('fastupdate=off' = ANY (COALESCE(reloptions, '{}')))"));
        QVERIFY2(q && q->next(), "index options unreadable");
        QCOMPARE(q->value(0).toInt(), 0);
    }
}

void TestDatabaseMerge::mergesEverythingOnce()
{
    mergeAndCheck(TestDatabase::isPostgres(), TestDatabase::isPostgres(), Schema::kCurrentVersion);
}

void TestDatabaseMerge::mergesAcrossEngines_data()
{
    QTest::addColumn<bool>("presentOnPostgres");
    QTest::newRow("present embedded, second on the server") << false;
    QTest::newRow("present on the server, second embedded") << true;
}

void TestDatabaseMerge::mergesAcrossEngines()
{
    QFETCH(bool, presentOnPostgres);
    if (!TestDatabase::isPostgres())
        QSKIP("needs the PostgreSQL run");
    mergeAndCheck(presentOnPostgres, !presentOnPostgres, Schema::kCurrentVersion);
}

void TestDatabaseMerge::mergesOlderSecondDatabase()
{
    // Read as it is: not upgraded, not changed.
    mergeAndCheck(TestDatabase::isPostgres(), TestDatabase::isPostgres(), 1);
}

void TestDatabaseMerge::reportsTheRunsSteps()
{
    LEX_MAKE_SIDES(present, second);
    DatabaseMerge merge(present.ctx(), second.source());
    QStringList steps;
    merge.setProgress([&](const QString& status, int bar) { steps << QStringLiteral("%1|%2").arg(status).arg(bar); });
    QCOMPARE(outcomeOf(merge.run()), int(DatabaseMerge::Outcome::Merged));
    QStringList expected{
        QStringLiteral("Checking the connection of the database to be synchronised... 3%|3"),
        QStringLiteral("Checking if the database to be synchronised matches with the original database... 7%|7"),
        QStringLiteral("Creating synchronised database... 10%|10"),
        QStringLiteral("Clearing databse of all records... 24%|24"), QStringLiteral("Merging master tables... 24%|24")};
    for (int bar = 27; bar <= 63; bar += 3)
        expected << QStringLiteral("Merging master tables... |%1").arg(bar);
    expected << QStringLiteral("Merging Case tables... 71%|79") << QStringLiteral("Merging Case tables... 83%|79")
             << QStringLiteral("Merging Case tables... 92%|79") << QStringLiteral("Merged Database... 100%|100");
    QCOMPARE(steps, expected);
}

void TestDatabaseMerge::reportsTheWriteBackCitationByCitation()
{
    LEX_MAKE_SIDES(present, second);
    QVERIFY(fill(present, second));
    DatabaseMerge merge(present.ctx(), second.source());
    merge.setWriteBackBatch(1);
    QStringList steps;
    QList<int> bars;
    qsizetype seenAtTheEnd = -1; // the present's citations as another user sees them when the bar is full
    merge.setProgress([&](const QString& status, int bar) {
        steps << status;
        bars << bar;
        // (Not while the rows are written: the server's write lock keeps other users waiting till the commit.)
        if (bar == 100)
            seenAtTheEnd = present.all().size();
    });
    QCOMPARE(outcomeOf(merge.run()), int(DatabaseMerge::Outcome::Merged));

    // The steps before keep their texts; the two new citations are counted one by one, the bar moving on from
    // 79 and reaching 100 only when the run is over.
    const qsizetype first = steps.indexOf(QStringLiteral("Merging Case tables... 92%"));
    QVERIFY(first > 0);
    const QRegularExpression writing(QStringLiteral("^Writing the merged citations\\.\\.\\. (\\d+) of 2 written "
                                                    "\\((\\d+) a second\\)$"));
    for (int n = 1; n <= 2; ++n) {
        const QRegularExpressionMatch m = writing.match(steps.at(first + n));
        QVERIFY2(m.hasMatch(), qPrintable(steps.at(first + n)));
        QCOMPARE(m.captured(1).toInt(), n);
        QVERIFY(bars.at(first + n) > bars.at(first + n - 1) && bars.at(first + n) < 100);
    }
    // Then the search index, one index after another, before the end.
    const QList<SearchIndexDef> indexes = Schema::searchIndexes();
    QCOMPARE(steps.size(), first + 4 + indexes.size());
    for (int n = 1; n <= indexes.size(); ++n) {
        QCOMPARE(steps.at(first + 2 + n),
                 QStringLiteral("Writing the merged citations... indexing their texts, %1 of %2")
                     .arg(n)
                     .arg(indexes.size()));
        QCOMPARE(bars.at(first + 2 + n), 99);
    }
    QCOMPARE(steps.constLast(), QStringLiteral("Merged Database... 100%"));
    QCOMPARE(bars.constLast(), 100);
    // When the bar is full the merged citations are committed.
    QCOMPARE(seenAtTheEnd, qsizetype(5));
}

void TestDatabaseMerge::failureLeavesPresentAsItWas_data()
{
    using D = DatabaseMerge::Database;
    QTest::addColumn<int>("where");
    QTest::addColumn<QString>("marker");
    QTest::newRow("creating the working schema") << int(D::Syn) << "TABLE case_master(";
    QTest::newRow("copying the present database") << int(D::Old) << "INSERT INTO cm_issue_master";
    QTest::newRow("reading the second database") << int(D::Second) << "FROM cmd_act_master";
    QTest::newRow("copying the second database") << int(D::New) << "INSERT INTO cmd_court_master";
    QTest::newRow("adding the mapping column") << int(D::New) << "ADD vor_id";
    QTest::newRow("merging a master list") << int(D::New) << "UPDATE category_master SET vor_id";
    QTest::newRow("writing present masters") << int(D::Syn) << "INSERT INTO court_master";
    QTest::newRow("marking repeated citations") << int(D::New) << "SET vor_id = -1";
    QTest::newRow("numbering citations") << int(D::New) << "FROM case_master WHERE vor_id = 0";
    QTest::newRow("writing merged citations") << int(D::Syn) << "INSERT INTO case_master";
    QTest::newRow("writing bench names") << int(D::Syn) << "INSERT INTO cm_bench_name";
    QTest::newRow("checking the present database") << int(D::Present) << "COUNT(*) FROM cmd_court_master";
    QTest::newRow("writing back citations") << int(D::Present) << "INSERT INTO case_master";
    QTest::newRow("writing back Act links") << int(D::Present) << "INSERT INTO cmd_act_master";
    QTest::newRow("writing back the last table") << int(D::Present) << "INSERT INTO cmd_court_master";
    QTest::newRow("taking the new texts into the server's search index") << int(D::Present) << "gin_clean_pending_list";
}

void TestDatabaseMerge::failureLeavesPresentAsItWas()
{
    QFETCH(int, where);
    QFETCH(QString, marker);
    if (marker.startsWith(QLatin1String("gin_")) && !TestDatabase::isPostgres())
        QSKIP("the embedded engine takes its index entries row by row");
    LEX_MAKE_SIDES(present, second);
    QVERIFY(fill(present, second));
    const QStringList before = present.dump();
    const QStringList secondBefore = second.dump();

    DatabaseMerge merge(present.ctx(), second.source());
    merge.injectFailure(DatabaseMerge::Database(where), marker);
    QStringList steps;
    merge.setProgress([&](const QString& status, int) { steps << status; });
    const Result<DatabaseMerge::Summary> r = merge.run();
    QVERIFY(!r.ok());
    QVERIFY(!r.error().description.isEmpty());
    QVERIFY(!steps.contains(QStringLiteral("Merged Database... 100%")));
    QCOMPARE(present.dump(), before);
    QCOMPARE(second.dump(), secondBefore);
    QVERIFY(workingGone(merge));

    // Nothing stands in the way of the next run, which merges.
    if (where != int(DatabaseMerge::Database::Present))
        return;
    DatabaseMerge again(present.ctx(), second.source());
    QCOMPARE(outcomeOf(again.run()), int(DatabaseMerge::Outcome::Merged));
    QCOMPARE(present.all().size(), 5);
}

void TestDatabaseMerge::changeDuringRunIsRefused()
{
    LEX_MAKE_SIDES(present, second);
    QVERIFY(fill(present, second));
    DatabaseMerge merge(present.ctx(), second.source());
    QStringList expected;
    merge.setProgress([&](const QString& status, int) {
        // Another user adds a citation while the merge is being built.
        if (status == QLatin1String("Merging Case tables... 83%"))
            QVERIFY(present.add(
                citation(QStringLiteral("2020 SCMR 1"), {2020, 1, 1}, QStringLiteral("Late"), {}, {}, {}, {})));
        if (status == QLatin1String("Merging Case tables... 71%"))
            expected = present.dump();
    });
    const Result<DatabaseMerge::Summary> r = merge.run();
    QVERIFY(!r.ok());
    QCOMPARE(r.error().kind, Error::Kind::Conflict);
    QCOMPARE(r.error().description, DatabaseMerge::kChangedMeanwhile);
    const QStringList now = present.dump();
    for (const QString& row : expected)
        QVERIFY2(now.contains(row), qPrintable(row));
    QCOMPARE(present.all().size(), 4);
    QVERIFY(workingGone(merge));
}

void TestDatabaseMerge::dropsLeftovers()
{
    LEX_MAKE_SIDES(present, second);
    DatabaseMerge merge(present.ctx(), second.source());
    QVERIFY(merge.oldDbName().endsWith(QLatin1String("vor_Old")));
    QVERIFY(merge.synDbName().startsWith(present.ctx().connection.database));
    QVERIFY(merge.newDbName().endsWith(QLatin1String("vor_New")));
    // Leftovers of a crashed run, one of them with rows in it.
    for (const QString& name : {merge.oldDbName(), merge.newDbName()}) {
        QVERIFY(!DatabaseAdmin::createDatabase(merge.workingContext(name)));
        QVERIFY(!Schema::create(merge.workingContext(name)));
    }
    {
        DbSession s(merge.workingContext(merge.oldDbName()));
        QVERIFY(s.execute(QStringLiteral("INSERT INTO act_master (id,act) VALUES (1,'left over')")));
    }
    QCOMPARE(outcomeOf(merge.run()), int(DatabaseMerge::Outcome::Merged));
    QVERIFY(workingGone(merge));
    QVERIFY(present.names(QStringLiteral("act_master"), QStringLiteral("act")).isEmpty());
}

void TestDatabaseMerge::refusesSameDatabase()
{
    Side present;
    QString why;
    QVERIFY2(present.make(TestDatabase::isPostgres(), &why), qPrintable(why));
    const ConnectionString& c = present.ctx().connection;
    // By its own name, and an embedded one also by the path of its file.
    QList<MergeSource> same{{c.server, c.database, c.user, c.password}, present.source()};
    for (const MergeSource& source : same) {
        DatabaseMerge merge(present.ctx(), source);
        QVERIFY(merge.isSameDatabase());
        const Result<DatabaseMerge::Summary> r = merge.run();
        QCOMPARE(outcomeOf(r), int(DatabaseMerge::Outcome::SameDatabase));
        QCOMPARE(r->message, QStringLiteral("Trying to synchronize same Database, task cannot be carried out."));
    }
    // The same name on another server is another database.
    MergeSource elsewhere{c.isEmbedded() ? QStringLiteral("localhost:1") : QStringLiteral("(local)"), c.database,
                          c.user, c.password};
    QVERIFY(!DatabaseMerge(present.ctx(), elsewhere).isSameDatabase());
}

void TestDatabaseMerge::refusesWrongLogin()
{
    LEX_MAKE_SIDES(present, second);
    MergeSource source = second.source();
    if (TestDatabase::isPostgres()) {
        source.password += QStringLiteral("-wrong");
        DatabaseMerge merge(present.ctx(), source);
        const Result<DatabaseMerge::Summary> r = merge.run();
        QCOMPARE(outcomeOf(r), int(DatabaseMerge::Outcome::LoginFailed));
        QCOMPARE(r->message, QStringLiteral("Invalid user name, please check the user name."));
        QVERIFY(workingGone(merge));
    }
    // A database that is not there: the engine's own words.
    source = second.source();
    source.database += QStringLiteral("_missing");
    DatabaseMerge merge(present.ctx(), source);
    const Result<DatabaseMerge::Summary> r = merge.run();
    QCOMPARE(outcomeOf(r), int(DatabaseMerge::Outcome::LoginFailed));
    QVERIFY(!r->message.isEmpty());
    QVERIFY(r->message != DatabaseMerge::kInvalidUser);
    QVERIFY(workingGone(merge));
}

void TestDatabaseMerge::refusesForeignDatabase()
{
    LEX_MAKE_SIDES(present, second);
    // A key missing: the tables are there, the relations are not.
    QVERIFY(second.exec(QStringLiteral("DROP TABLE cmd_court_master")));
    QVERIFY(second.exec(QStringLiteral("CREATE TABLE cmd_court_master (id INTEGER PRIMARY KEY, court_id INTEGER "
                                       "NOT NULL, cmd_id INTEGER NOT NULL)")));
    {
        DatabaseMerge merge(present.ctx(), second.source());
        const Result<DatabaseMerge::Summary> r = merge.run();
        QCOMPARE(outcomeOf(r), int(DatabaseMerge::Outcome::NotMatching));
        QCOMPARE(r->message, QStringLiteral("The databases do not match."));
        QVERIFY(workingGone(merge));
    }
    // A table missing, refused before anything is made.
    QVERIFY(second.exec(QStringLiteral("DROP TABLE cm_bench_name")));
    DatabaseMerge merge(present.ctx(), second.source());
    QStringList steps;
    merge.setProgress([&](const QString& status, int) { steps << status; });
    const Result<DatabaseMerge::Summary> r = merge.run();
    QCOMPARE(outcomeOf(r), int(DatabaseMerge::Outcome::NotMatching));
    QCOMPARE(r->message, QStringLiteral("The database to be synchronised does not contain the required tables."));
    QCOMPARE(steps.size(), 2);
    QVERIFY(workingGone(merge));
}

void TestDatabaseMerge::refusesUnusableSecondDatabase_data()
{
    QTest::addColumn<bool>("newer");
    QTest::newRow("made by a newer version") << true;
    QTest::newRow("not a database at all") << false;
}

void TestDatabaseMerge::refusesUnusableSecondDatabase()
{
    QFETCH(bool, newer);
    LEX_MAKE_SIDES(present, second);
    QVERIFY(fill(present, second));
    const QString file = SqliteDialect::databaseFile(second.ctx());
    if (newer) {
        DbSession s(second.ctx());
        QVERIFY(s.execute(s.dialect().setSchemaVersionStatement(s.context(), Schema::kCurrentVersion + 1)));
    } else {
        if (TestDatabase::isPostgres())
            QSKIP("a server database is always one");
        QFile garbage(file);
        QVERIFY(garbage.open(QIODevice::WriteOnly | QIODevice::Truncate));
        garbage.write(QByteArray(4096, 'x'));
    }
    const QStringList presentBefore = present.dump();
    const QStringList secondBefore = newer ? second.dump() : QStringList();
    const QVariant versionBefore = newer ? recordedVersion(second.ctx()) : QVariant();

    DatabaseMerge merge(present.ctx(), second.source());
    QStringList steps;
    merge.setProgress([&](const QString& status, int) { steps << status; });
    const Result<DatabaseMerge::Summary> r = merge.run();
    QCOMPARE(outcomeOf(r), int(DatabaseMerge::Outcome::NotMatching));
    if (newer)
        QCOMPARE(r->message, Schema::newerVersionMessage(second.source().database, Schema::kCurrentVersion + 1));
    else
        QVERIFY2(r->message.startsWith(DatabaseMerge::kMissingTables), qPrintable(r->message));
    QVERIFY(!steps.contains(QStringLiteral("Creating synchronised database... 10%")));
    QVERIFY(workingGone(merge));
    QCOMPARE(present.dump(), presentBefore);
    if (newer) {
        QCOMPARE(second.dump(), secondBefore);
        QCOMPARE(recordedVersion(second.ctx()), versionBefore);
    } else {
        QFile garbage(file);
        QVERIFY(garbage.open(QIODevice::ReadOnly));
        QCOMPARE(garbage.readAll(), QByteArray(4096, 'x'));
    }
}

void TestDatabaseMerge::refusesSameDatabaseSpelledOtherwise()
{
    Side present;
    QString why;
    QVERIFY2(present.make(TestDatabase::isPostgres(), &why), qPrintable(why));
    const ConnectionString& c = present.ctx().connection;
    QTemporaryDir elsewhere;
    QList<MergeSource> spellings;
    if (c.isEmbedded()) {
        const QString file = SqliteDialect::databaseFile(present.ctx());
        const QFileInfo info(file);
        const QString link = elsewhere.filePath(QStringLiteral("colleague.db"));
        QVERIFY(QFile::link(file, link));
        for (const QString& path : {info.path() + QStringLiteral("/./") + info.fileName(),
                                    info.path() + QStringLiteral("/../Data/") + info.fileName(), link})
            spellings.append({c.server, path, c.user, c.password});
    } else {
        // The server by its address and by its name.
        QString other = c.server;
        if (c.host() == QLatin1String("127.0.0.1"))
            other.replace(QLatin1String("127.0.0.1"), QLatin1String("localhost"));
        else if (c.host() == QLatin1String("localhost"))
            other.replace(QLatin1String("localhost"), QLatin1String("127.0.0.1"));
        else
            QSKIP("the test server is named neither localhost nor 127.0.0.1");
        spellings.append({other, c.database, c.user, c.password});
    }
    for (const MergeSource& source : spellings) {
        DatabaseMerge merge(present.ctx(), source);
        QStringList steps;
        merge.setProgress([&](const QString& status, int) { steps << status; });
        const Result<DatabaseMerge::Summary> r = merge.run();
        QCOMPARE(outcomeOf(r), int(DatabaseMerge::Outcome::SameDatabase));
        QCOMPARE(r->message, DatabaseMerge::kSameDatabase);
        QVERIFY(!steps.contains(QStringLiteral("Creating synchronised database... 10%")));
        QVERIFY(workingGone(merge));
    }
}

void TestDatabaseMerge::dropsLeftoversButNotThoseOfARunningMerge()
{
    LEX_MAKE_SIDES(present, second);
    QVERIFY(fill(present, second));

    // A killed run's working databases, one of them the copy of some other second database; and a database of
    // the user's own whose name merely ends as a copy's does.
    const DatabaseMerge names(present.ctx(), second.source());
    const QString copy = uniqueName() + QStringLiteral("vor_New");
    const DbContext users = names.workingContext(uniqueName() + QStringLiteral("vor_New"));
    QVERIFY(!DatabaseAdmin::createDatabase(users));
    const auto dropUsers = qScopeGuard([&] { DatabaseAdmin::dropDatabase(users); });
    QVERIFY(!Schema::create(users));
    for (const QString& name : {names.oldDbName(), names.synDbName(), copy})
        QVERIFY(makeScratch(names.workingContext(name)));
    QStringList dropped;
    const Error e = DatabaseMerge::dropLeftovers(present.ctx(), &dropped);
    QVERIFY2(!e, qPrintable(e.description));
    dropped.sort();
    QStringList expected{names.oldDbName(), names.synDbName(), copy};
    expected.sort();
    QCOMPARE(dropped, expected);
    QVERIFY(workingGone(names));
    QVERIFY(TestDatabase::openError(names.workingContext(copy)).isError());
    QCOMPARE(TestDatabase::tableNames(users).size(), 14);

    // While a run works, neither the clean-up nor another run takes its working databases away.
    DatabaseMerge merge(present.ctx(), second.source());
    QStringList droppedMeanwhile{QStringLiteral("not called")};
    Result<DatabaseMerge::Summary> other = DatabaseMerge::Summary();
    merge.setProgress([&](const QString& status, int) {
        if (status != QLatin1String("Merging Case tables... 71%"))
            return;
        droppedMeanwhile.clear();
        const Error meanwhile = DatabaseMerge::dropLeftovers(present.ctx(), &droppedMeanwhile);
        QVERIFY2(!meanwhile, qPrintable(meanwhile.description));
        other = DatabaseMerge(present.ctx(), second.source()).run();
    });
    const Result<DatabaseMerge::Summary> r = merge.run();
    QVERIFY2(r.ok(), qPrintable(r.error().description));
    QCOMPARE(r->message, QString());
    QCOMPARE(outcomeOf(r), int(DatabaseMerge::Outcome::Merged));
    QCOMPARE(r->citationsAdded, qint64(2));
    QCOMPARE(droppedMeanwhile, QStringList());
    QVERIFY(!other.ok());
    QCOMPARE(other.error().kind, Error::Kind::InUse);
    QCOMPARE(other.error().description, DatabaseMerge::kWorkingInUse.arg(merge.synDbName()));
    QVERIFY(workingGone(merge));
    QCOMPARE(present.all().size(), 5);
}

QTEST_GUILESS_MAIN(TestDatabaseMerge)
#include "tst_database_merge.moc"
