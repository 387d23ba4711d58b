// Next-id and lookup on a large master table: both must stay keyed queries, not table scans in the program.
#include "core/db/db_session.h"
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
    DbSession conn(m_db.ctx());
    QVERIFY(conn.isOpen());
    QVERIFY(inTransaction(conn, [&] {
                QSqlQuery q(conn.db());
                q.prepare(QStringLiteral("INSERT INTO act_master (id, act) VALUES (?, ?)"));
                QVariantList ids, names;
                for (int i = 1; i <= kRows; ++i) {
                    ids << i;
                    names << QStringLiteral("Act number %1").arg(i);
                }
                q.addBindValue(ids);
                q.addBindValue(names);
                return q.execBatch() ? Error() : Error::other(QStringLiteral("insert failed"));
            }).isError() == false);
}

void BenchSharedData::nextId()
{
    DbSession session(m_db.ctx());
    qint64 id = 0;
    QBENCHMARK
    {
        id = SharedData::getNextId(session, QStringLiteral("act_master")).valueOr(-1);
    }
    QCOMPARE(id, qint64(kRows + 1));
}

void BenchSharedData::fieldById()
{
    DbSession session(m_db.ctx());
    QString name;
    QBENCHMARK
    {
        name = SharedData::getFieldById(session, QStringLiteral("act_master"), QStringLiteral("id"), kRows - 7,
                                        QStringLiteral("act"))
                   .valueOr({})
                   .toString();
    }
    QCOMPARE(name, QStringLiteral("Act number %1").arg(kRows - 7));
}

QTEST_GUILESS_MAIN(BenchSharedData)
#include "bench_shared_data.moc"
