#include "core/citations/citation_store.h"
#include "core/db/db_session.h"
#include "support/cli_run.h"
#include "support/test_database.h"

#include <QTemporaryDir>
#include <QTest>

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

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
