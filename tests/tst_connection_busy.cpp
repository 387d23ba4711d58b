#include "core/db/db_session.h"
#include "core/db/sqlite_dialect.h"
#include "support/test_database.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

// The embedded engine locks the whole database for a writer. Another program holding that lock must make a write
// fail with the engine's words after a short wait, not freeze the window for a minute per statement.
class TestConnectionBusy : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writeFailsSoonWhileAnotherSessionWrites();
    void writeFailsSoonWhileAnotherProgramHoldsAnExclusiveLock();

private:
    static constexpr qint64 kWellUnderTheOldMinuteMs = 30000;
};

void TestConnectionBusy::initTestCase()
{
    if (TestDatabase::isPostgres())
        QSKIP("a PostgreSQL server locks rows and tables, not the whole database");
}

void TestConnectionBusy::writeFailsSoonWhileAnotherSessionWrites()
{
    LEX_USE_DATABASE(t, true);
    DbSession holder(t.ctx());
    auto lock = std::make_unique<TransactionGuard>(holder); // BEGIN IMMEDIATE: the write lock
    QVERIFY2(!lock->error(), qPrintable(lock->error().description));

    DbSession writer(t.ctx());
    QVERIFY(writer.isOpen());
    QElapsedTimer clock;
    clock.start();
    const Result<int> insert =
        writer.execute(QStringLiteral("INSERT INTO act_master (id, act) VALUES (?, ?)"), {1, QStringLiteral("Penal")});
    QVERIFY(!insert);
    QVERIFY2(insert.error().description.contains(QLatin1String("database is locked")),
             qPrintable(insert.error().description));
    // A transaction of its own cannot start either, and says so just as soon.
    {
        TransactionGuard second(writer);
        QVERIFY(second.error().isError());
        QVERIFY2(second.error().description.contains(QLatin1String("database is locked")),
                 qPrintable(second.error().description));
    }
    QVERIFY2(clock.elapsed() < kWellUnderTheOldMinuteMs, qPrintable(QString::number(clock.elapsed())));

    // Once the other writer is done, the same session writes.
    lock.reset();
    QVERIFY(
        writer.execute(QStringLiteral("INSERT INTO act_master (id, act) VALUES (?, ?)"), {1, QStringLiteral("Penal")}));
    QCOMPARE(t.scalar(QStringLiteral("SELECT act FROM act_master WHERE id = ?"), {1}).toString(),
             QStringLiteral("Penal"));
}

void TestConnectionBusy::writeFailsSoonWhileAnotherProgramHoldsAnExclusiveLock()
{
    LEX_USE_DATABASE(t, true);
    const QString name = QStringLiteral("other-program");
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        other.setDatabaseName(SqliteDialect::databaseFile(t.ctx()));
        QVERIFY2(other.open(), qPrintable(other.lastError().text()));
        QSqlQuery begin(other);
        QVERIFY2(begin.exec(QStringLiteral("BEGIN EXCLUSIVE")), qPrintable(begin.lastError().text()));

        DbSession writer(t.ctx());
        QElapsedTimer clock;
        clock.start();
        const Result<int> insert = writer.execute(QStringLiteral("INSERT INTO category_master (id, category) "
                                                                 "VALUES (?, ?)"),
                                                  {1, QStringLiteral("Civil")});
        QVERIFY(!insert);
        QVERIFY2(insert.error().description.contains(QLatin1String("database is locked")),
                 qPrintable(insert.error().description));
        QVERIFY2(clock.elapsed() < kWellUnderTheOldMinuteMs, qPrintable(QString::number(clock.elapsed())));

        QSqlQuery rollback(other);
        QVERIFY(rollback.exec(QStringLiteral("ROLLBACK")));
        other.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QTEST_GUILESS_MAIN(TestConnectionBusy)
#include "tst_connection_busy.moc"
