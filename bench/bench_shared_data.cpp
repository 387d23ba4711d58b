// Next-id and lookup on a large master table: both must stay keyed queries, not table scans in the program.
#include "core/db/db_connection.h"
#include "core/db/shared_data.h"
#include "support/test_database.h"

#include <QSqlQuery>
#include <QTest>

class BenchSharedData : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void nextId();
    void fieldById();

private:
    static constexpr int kRows = 200000;
    TestDatabase m_db;
};

void BenchSharedData::initTestCase()
{
    QString why;
    QVERIFY2(m_db.create(true, &why) == TestDatabase::Status::Ready, qPrintable(why));
    DbConnection conn(m_db.ctx());
    QVERIFY(conn.isOpen());
    QVERIFY(conn.inTransaction([&] {
                    QSqlQuery q(conn.db());
                    q.prepare(QStringLiteral("INSERT INTO act_master (id, act) VALUES (?, ?)"));
                    QVariantList ids, names;
                    for (int i = 1; i <= kRows; ++i) {
                        ids << i;
                        names << QStringLiteral("Act number %1").arg(i);
                    }
                    q.addBindValue(ids);
                    q.addBindValue(names);
                    return q.execBatch() ? DbError() : DbError::other(QStringLiteral("insert failed"));
                })
                .isError() == false);
}

void BenchSharedData::nextId()
{
    qint64 id = 0;
    QBENCHMARK
    {
        id = SharedData::getNextId(m_db.ctx(), QStringLiteral("act_master")).value_or(-1);
    }
    QCOMPARE(id, qint64(kRows + 1));
}

void BenchSharedData::fieldById()
{
    QString name;
    QBENCHMARK
    {
        name = SharedData::getFieldById(m_db.ctx(), QStringLiteral("act_master"), QStringLiteral("id"), kRows - 7,
                                        QStringLiteral("act"))
                   .toString();
    }
    QCOMPARE(name, QStringLiteral("Act number %1").arg(kRows - 7));
}

QTEST_GUILESS_MAIN(BenchSharedData)
#include "bench_shared_data.moc"
