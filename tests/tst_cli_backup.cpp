// lexorium-cli backup, restore and check as a user meets them: their exit statuses and what they print.
#include "core/db/db_session.h"
#include "datagen/citation_filler.h"
#include "datagen/citation_generator.h"
#include "support/cli_run.h"
#include "support/test_database.h"

#include <QFileInfo>
#include <QTest>

namespace {
bool fill(const TestDatabase& t, int n, quint64 seed)
{
    DbSession session(t.ctx());
    CitationGenerator generator(seed);
    return !CitationFiller::writeMasters(session) && !CitationFiller::fill(session, generator, n);
}
} // namespace

class TstCliBackup : public QObject
{
    Q_OBJECT

private slots:
    void backupAndRestore();
    void checkAndRepair();
    void refusesBadArguments_data();
    void refusesBadArguments();
};

void TstCliBackup::backupAndRestore()
{
    LEX_USE_DATABASE(source, true);
    QVERIFY(fill(source, 8, 4));
    const QString file = source.programDir() + QStringLiteral("/saved.db");
    const CliRun backup = runCliOn(source, {QStringLiteral("backup"), file});
    QCOMPARE(backup.status, 0);
    QVERIFY2(backup.out.startsWith(QStringLiteral("Backed up 8 citations")), qPrintable(backup.out + backup.err));
    QVERIFY(QFileInfo::exists(file));
    // The file is not replaced unless asked.
    const CliRun again = runCliOn(source, {QStringLiteral("backup"), file});
    QCOMPARE(again.status, 1);
    QVERIFY2(again.err.contains(QStringLiteral("--force")), qPrintable(again.err));
    QCOMPARE(runCliOn(source, {QStringLiteral("backup"), QStringLiteral("--force"), file}).status, 0);

    LEX_USE_DATABASE(target, true);
    QVERIFY(fill(target, 2, 6));
    const QStringList before = target.citationTableRows();
    const CliRun refused = runCliOn(target, {QStringLiteral("restore"), file});
    QCOMPARE(refused.status, 1);
    QVERIFY2(refused.err.contains(QStringLiteral("holds 2 citations")) &&
                 refused.err.contains(QStringLiteral("Give --force to replace them.")),
             qPrintable(refused.err));
    QCOMPARE(target.citationTableRows(), before);

    const CliRun restored = runCliOn(target, {QStringLiteral("restore"), file, QStringLiteral("--force")});
    QCOMPARE(restored.status, 0);
    QVERIFY2(restored.out.startsWith(QStringLiteral("Restored 8 citations")), qPrintable(restored.out + restored.err));
    QCOMPARE(target.citationTableRows(), source.citationTableRows());
}

void TstCliBackup::checkAndRepair()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(fill(t, 5, 8));
    const CliRun sound = runCliOn(t, {QStringLiteral("check")});
    QCOMPARE(sound.status, 0);
    QCOMPARE(sound.out, QStringLiteral("No problems found.\n"));

    QVERIFY(t.exec(QStringLiteral("INSERT INTO cm_remarks_master (id, remarks) VALUES (4242, ?)"),
                   {QStringLiteral("nobody's")}));
    const CliRun found = runCliOn(t, {QStringLiteral("check")});
    QCOMPARE(found.status, 1);
    QCOMPARE(found.out, QStringLiteral("1 rows of cm_remarks_master belong to no citation (id 4242).\n"));
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM cm_remarks_master WHERE id = 4242")).toInt(), 1);

    const CliRun repaired = runCliOn(t, {QStringLiteral("check"), QStringLiteral("--repair")});
    QCOMPARE(repaired.status, 0);
    QVERIFY2(repaired.out.contains(QStringLiteral("Repair: Remove the 1 text rows that belong to no citation.\n")),
             qPrintable(repaired.out));
    QVERIFY(repaired.out.endsWith(QStringLiteral("Checked again:\nNo problems found.\n")));
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM cm_remarks_master WHERE id = 4242")).toInt(), 0);
}

void TstCliBackup::refusesBadArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("said");
    QTest::newRow("backup without file") << QStringList{QStringLiteral("backup")}
                                         << QStringLiteral("Too few arguments.");
    QTest::newRow("restore two files") << QStringList{QStringLiteral("restore"), QStringLiteral("a"),
                                                      QStringLiteral("b")}
                                       << QStringLiteral("Too many arguments: b.");
    QTest::newRow("check with a file") << QStringList{QStringLiteral("check"), QStringLiteral("a")}
                                       << QStringLiteral("Too many arguments: a.");
}

void TstCliBackup::refusesBadArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, said);
    const CliRun run = runCli(arguments);
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.startsWith(said), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TstCliBackup)
#include "tst_cli_backup.moc"
