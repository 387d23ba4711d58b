// The database check finds damage planted past the program's own rules, and its repair mends what it may: the
// search index and the texts that no citation owns, leaving every citation as it was.
#include "core/backup/database_check.h"
#include "core/db/db_session.h"
#include "core/db/schema.h"
#include "datagen/citation_filler.h"
#include "datagen/citation_generator.h"
#include "support/db/planted_faults.h"
#include "support/test_database.h"

#include <QTest>

namespace {
using Kind = DatabaseCheck::Problem::Kind;

QStringList texts(const DatabaseCheck::Report& report)
{
    QStringList list;
    for (const DatabaseCheck::Problem& p : report.problems)
        list << p.text;
    return list;
}

QList<Kind> kinds(const DatabaseCheck::Report& report)
{
    QList<Kind> list;
    for (const DatabaseCheck::Problem& p : report.problems)
        if (!list.contains(p.kind))
            list << p.kind;
    return list;
}
} // namespace

class TstDatabaseCheck : public QObject
{
    Q_OBJECT

private slots:
    void soundDatabasePasses();
    void findsAndRepairs_data();
    void findsAndRepairs();
    void missingTableIsReported();
};

void TstDatabaseCheck::soundDatabasePasses()
{
    LEX_USE_DATABASE(t, true);
    DbSession session(t.ctx());
    QVERIFY(!CitationFiller::writeMasters(session));
    CitationGenerator generator(5);
    QVERIFY(!CitationFiller::fill(session, generator, 25));
    const Result<DatabaseCheck::Report> report = DatabaseCheck::run(session);
    QVERIFY(report);
    QVERIFY2(report->ok(), qPrintable(texts(*report).join(QLatin1Char('\n'))));
    QVERIFY(DatabaseCheck::repairPlan(*report).isEmpty());
}

enum class Fault { OrphanText, MissingIndexEntry, BrokenLink, DuplicateName };
Q_DECLARE_METATYPE(Fault)

void TstDatabaseCheck::findsAndRepairs_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("said");
    QTest::addColumn<bool>("repaired");
    QTest::newRow("orphan text row") << Fault::OrphanText << int(Kind::OrphanText)
                                     << QStringLiteral("1 rows of cm_issue_master belong to no citation (id 9001).")
                                     << true;
    QTest::newRow("missing index entry") << Fault::MissingIndexEntry << int(Kind::SearchIndex)
                                         << QStringLiteral("cm_judgment_master.judgment cannot be found through the "
                                                           "search index.")
                                         << true;
    QTest::newRow("broken foreign key")
        << Fault::BrokenLink << int(Kind::BrokenLink)
        << QStringLiteral("1 rows of cmd_category_master name a cat_id that category_master does not hold "
                          "(cat_id 777).")
        << false;
    QTest::newRow("duplicate master name")
        << Fault::DuplicateName << int(Kind::DuplicateName)
        << QStringLiteral("category_master holds the same name more than once") << false;
}

void TstDatabaseCheck::findsAndRepairs()
{
    QFETCH(Fault, fault);
    QFETCH(int, kind);
    QFETCH(QString, said);
    QFETCH(bool, repaired);
    LEX_USE_DATABASE(t, true);
    DbSession session(t.ctx());
    QVERIFY(!CitationFiller::writeMasters(session));
    CitationGenerator generator(9);
    QVERIFY(!CitationFiller::fill(session, generator, 12));
    const QStringList citationsBefore = t.citationTableRows();

    switch (fault) {
    case Fault::OrphanText:
        QVERIFY(!session.run(QStringLiteral("INSERT INTO cm_issue_master (id, issue) VALUES (9001, ?)"),
                             {QStringLiteral("left over")}));
        break;
    case Fault::MissingIndexEntry:
        QVERIFY(!PlantedFaults::dropSearchEntry(
            session, Schema::searchIndexOf(QStringLiteral("cm_judgment_master"), QStringLiteral("judgment")), 3));
        break;
    case Fault::BrokenLink: {
        const Error e = PlantedFaults::insertBrokenLink(
            session, QStringLiteral("INSERT INTO cmd_category_master (id, cat_id, cmd_id) VALUES (5000, 777, 1)"),
            QStringLiteral("cmd_category_master"), QStringLiteral("cat_id"));
        QVERIFY2(!e, qPrintable(e.description));
        break;
    }
    case Fault::DuplicateName:
        QVERIFY(!session.run(QStringLiteral("INSERT INTO category_master (id, category) VALUES (900, ?)"),
                             {CitationGenerator::categories().first().toUpper() + QStringLiteral("  ")}));
        break;
    }

    const Result<DatabaseCheck::Report> report = DatabaseCheck::run(session);
    QVERIFY(report);
    QVERIFY(!report->ok());
    QVERIFY2(kinds(*report).contains(Kind(kind)), qPrintable(texts(*report).join(QLatin1Char('\n'))));
    bool named = false;
    for (const QString& text : texts(*report))
        named = named || text.contains(said);
    QVERIFY2(named, qPrintable(texts(*report).join(QLatin1Char('\n'))));
    QCOMPARE(report->repairable(), repaired);

    if (report->repairable()) {
        QVERIFY(!DatabaseCheck::repairPlan(*report).isEmpty());
        QVERIFY(!DatabaseCheck::repair(session));
    }
    const Result<DatabaseCheck::Report> after = DatabaseCheck::run(session);
    QVERIFY(after);
    QCOMPARE(kinds(*after).contains(Kind(kind)), !repaired);
    // A repair gives the citations back as they were before the damage.
    if (repaired)
        QCOMPARE(t.citationTableRows(), citationsBefore);
}

void TstDatabaseCheck::missingTableIsReported()
{
    LEX_USE_DATABASE(t, true);
    DbSession session(t.ctx());
    QVERIFY(!session.run(QStringLiteral("DROP TABLE cm_bench_name")));
    const Result<DatabaseCheck::Report> report = DatabaseCheck::run(session);
    QVERIFY(report);
    QVERIFY2(texts(*report).contains(QStringLiteral("The table cm_bench_name is missing.")),
             qPrintable(texts(*report).join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(TstDatabaseCheck)
#include "tst_database_check.moc"
