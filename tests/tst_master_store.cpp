#include "core/db/db_session.h"
#include "core/masters/master_store.h"
#include "support/test_database.h"

#include <QSqlQuery>
#include <QTest>

Q_DECLARE_METATYPE(MasterKind)

namespace {
QString name(const TestDatabase& t, const MasterTable& m, qint64 id)
{
    return t.scalar(QStringLiteral("SELECT %1 FROM %2 WHERE id = ?").arg(m.nameColumn, m.table), {id}).toString();
}

int count(const TestDatabase& t, const MasterTable& m)
{
    return t.scalar(QStringLiteral("SELECT COUNT(*) FROM ") + m.table).toInt();
}

// A citation that uses the master row `id` through its link table.
bool link(const TestDatabase& t, const MasterTable& m, qint64 id)
{
    const QString extra = m.kind == MasterKind::Act ? QStringLiteral(", section") : QString();
    const QString extraValue = m.kind == MasterKind::Act ? QStringLiteral(", 's. 302'") : QString();
    return t.exec(QStringLiteral("INSERT INTO case_master (case_id, citation) VALUES (1, 'PLD 1990 SC 1')")) &&
           t.exec(QStringLiteral("INSERT INTO %1 (id, %2, cmd_id%3) VALUES (1, ?, 1%4)")
                      .arg(m.linkTable, m.linkColumn, extra, extraValue),
                  {id});
}
} // namespace

// Runs against the engine named by LEXORIUM_TEST_ENGINE; every case runs for each of the three lists.
class TestMasterStore : public QObject
{
    Q_OBJECT

private:
    static void eachKind_data();

private slots:
    void addStoresTheTrimmedNameOnce_data() { eachKind_data(); }
    void addStoresTheTrimmedNameOnce();
    void duplicatesIgnoreCaseAndBlanks_data();
    void duplicatesIgnoreCaseAndBlanks();
    void renameRules_data() { eachKind_data(); }
    void renameRules();
    void removeIsRefusedWhileInUse_data() { eachKind_data(); }
    void removeIsRefusedWhileInUse();
    void rowsGoneBehindTheStoresBack_data() { eachKind_data(); }
    void rowsGoneBehindTheStoresBack();
    void aRefusedInsertLeavesTheTableAsItWas();
    void readingOrder();
};

void TestMasterStore::eachKind_data()
{
    QTest::addColumn<MasterKind>("kind");
    QTest::newRow("category") << MasterKind::Category;
    QTest::newRow("court") << MasterKind::Court;
    QTest::newRow("act") << MasterKind::Act;
}

void TestMasterStore::addStoresTheTrimmedNameOnce()
{
    QFETCH(MasterKind, kind);
    LEX_USE_DATABASE(t, true);
    const MasterStore store(t.ctx(), kind);
    QCOMPARE(store.nextId(), std::optional<qint64>(1));
    QVERIFY(store.rows().isEmpty());

    QVERIFY(store.add(1, QStringLiteral("  Qanun-e-Shahadat  ")).isDone());
    QVERIFY(store.add(2, QStringLiteral("Owner's Liability")).isDone());
    QCOMPARE(name(t, store.table(), 1), QStringLiteral("Qanun-e-Shahadat"));
    QCOMPARE(name(t, store.table(), 2), QStringLiteral("Owner's Liability"));
    QCOMPARE(store.nameOf(2), QStringLiteral("Owner's Liability"));
    QCOMPARE(store.nameOf(3), QString());
    QCOMPARE(store.nextId(), std::optional<qint64>(3));

    QCOMPARE(store.add(3, QStringLiteral("   ")).outcome, MasterResult::Outcome::EmptyName);
    QCOMPARE(count(t, store.table()), 2);
}

void TestMasterStore::duplicatesIgnoreCaseAndBlanks_data()
{
    QTest::addColumn<MasterKind>("kind");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("duplicate");
    const QString upperUmlaut = QString::fromUtf8("\u00c4RZTE");
    const QString lowerUmlaut = QString::fromUtf8("\u00e4rzte");
    for (MasterKind kind : {MasterKind::Category, MasterKind::Court, MasterKind::Act}) {
        const char* k = kind == MasterKind::Category ? "category" : kind == MasterKind::Court ? "court" : "act";
        QTest::addRow("%s leading blank", k) << kind << QStringLiteral("Tax") << QStringLiteral(" Tax") << true;
        QTest::addRow("%s trailing blank", k) << kind << QStringLiteral("Tax") << QStringLiteral("Tax  ") << true;
        QTest::addRow("%s upper case", k) << kind << QStringLiteral("Tax") << QStringLiteral("TAX") << true;
        QTest::addRow("%s non-ASCII case", k) << kind << upperUmlaut << lowerUmlaut << true;
        QTest::addRow("%s stored with trailing blank", k)
            << kind << QStringLiteral("Tax ") << QStringLiteral("tax") << true;
        QTest::addRow("%s inner blank differs", k) << kind << QStringLiteral("Tax") << QStringLiteral("T ax") << false;
        QTest::addRow("%s apostrophe", k) << kind << QStringLiteral("Owner's") << QStringLiteral("Owners") << false;
    }
}

void TestMasterStore::duplicatesIgnoreCaseAndBlanks()
{
    QFETCH(MasterKind, kind);
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(bool, duplicate);
    LEX_USE_DATABASE(t, true);
    const MasterStore store(t.ctx(), kind);
    const MasterTable& m = store.table();
    // Written directly, so a stored name may keep blanks the screens would have trimmed.
    QVERIFY(t.exec(QStringLiteral("INSERT INTO %1 (id, %2) VALUES (1, ?)").arg(m.table, m.nameColumn), {stored}));
    QVERIFY(t.exec(QStringLiteral("INSERT INTO %1 (id, %2) VALUES (2, 'Other')").arg(m.table, m.nameColumn)));

    const MasterResult added = store.add(3, typed);
    QCOMPARE(added.outcome, duplicate ? MasterResult::Outcome::Duplicate : MasterResult::Outcome::Done);
    QCOMPARE(count(t, m), duplicate ? 2 : 3);
    QVERIFY(t.exec(QStringLiteral("DELETE FROM ") + m.table + QStringLiteral(" WHERE id = 3")));

    const MasterResult renamed = store.rename(2, typed);
    QCOMPARE(renamed.outcome, duplicate ? MasterResult::Outcome::Duplicate : MasterResult::Outcome::Done);
    QCOMPARE(name(t, m, 2), duplicate ? QStringLiteral("Other") : typed.trimmed());
}

void TestMasterStore::renameRules()
{
    QFETCH(MasterKind, kind);
    LEX_USE_DATABASE(t, true);
    const MasterStore store(t.ctx(), kind);
    QVERIFY(store.add(1, QStringLiteral("Civil")).isDone());
    QVERIFY(store.add(2, QStringLiteral("Criminal")).isDone());

    // Its own name, and its own name in another case, are not duplicates.
    QVERIFY(store.rename(1, QStringLiteral("Civil")).isDone());
    QVERIFY(store.rename(1, QStringLiteral(" CIVIL ")).isDone());
    QCOMPARE(name(t, store.table(), 1), QStringLiteral("CIVIL"));
    QCOMPARE(store.rename(1, QStringLiteral("criminal")).outcome, MasterResult::Outcome::Duplicate);
    QCOMPARE(store.rename(1, QStringLiteral("  ")).outcome, MasterResult::Outcome::EmptyName);
    QVERIFY(store.rename(2, QStringLiteral("Writ's")).isDone());
    QCOMPARE(name(t, store.table(), 2), QStringLiteral("Writ's"));
    QCOMPARE(name(t, store.table(), 1), QStringLiteral("CIVIL"));
}

void TestMasterStore::removeIsRefusedWhileInUse()
{
    QFETCH(MasterKind, kind);
    LEX_USE_DATABASE(t, true);
    const MasterStore store(t.ctx(), kind);
    QVERIFY(store.add(1, QStringLiteral("Used")).isDone());
    QVERIFY(store.add(2, QStringLiteral("Free")).isDone());
    QVERIFY(link(t, store.table(), 1));

    QVERIFY(store.isInUse(1));
    QVERIFY(!store.isInUse(2));
    QCOMPARE(store.remove(1).outcome, MasterResult::Outcome::InUse);
    QCOMPARE(name(t, store.table(), 1), QStringLiteral("Used"));
    QVERIFY(store.remove(2).isDone());
    QCOMPARE(store.ids(), QList<qint64>{1});
    // The largest id is handed out again once its row is gone.
    QCOMPARE(store.nextId(), std::optional<qint64>(2));
}

void TestMasterStore::rowsGoneBehindTheStoresBack()
{
    QFETCH(MasterKind, kind);
    LEX_USE_DATABASE(t, true);
    const MasterStore store(t.ctx(), kind);
    QVERIFY(store.add(1, QStringLiteral("Kept")).isDone());
    QVERIFY(store.add(2, QStringLiteral("Gone")).isDone());
    QVERIFY(t.exec(QStringLiteral("DELETE FROM ") + store.table().table + QStringLiteral(" WHERE id = 2")));

    QCOMPARE(store.rename(2, QStringLiteral("Back")).outcome, MasterResult::Outcome::Missing);
    QCOMPARE(store.remove(2).outcome, MasterResult::Outcome::Missing);
    QCOMPARE(count(t, store.table()), 1);
    QCOMPARE(name(t, store.table(), 1), QStringLiteral("Kept"));
}

void TestMasterStore::aRefusedInsertLeavesTheTableAsItWas()
{
    LEX_USE_DATABASE(t, true);
    const MasterStore store(t.ctx(), MasterKind::Court);
    QVERIFY(store.add(1, QStringLiteral("Supreme Court")).isDone());

    // An id that is taken, and a name longer than the column allows.
    const MasterResult clash = store.add(1, QStringLiteral("High Court"));
    QCOMPARE(clash.outcome, MasterResult::Outcome::Failed);
    QVERIFY(!clash.error.description.isEmpty());
    const MasterResult tooLong = store.rename(1, QString(101, QLatin1Char('x')));
    QCOMPARE(tooLong.outcome, MasterResult::Outcome::Failed);
    QCOMPARE(count(t, store.table()), 1);
    QCOMPARE(name(t, store.table(), 1), QStringLiteral("Supreme Court"));
}

void TestMasterStore::readingOrder()
{
    LEX_USE_DATABASE(t, true);
    for (int id : {5, 2, 9})
        QVERIFY(t.exec(QStringLiteral("INSERT INTO category_master (id, category) VALUES (?, ?)"),
                       {id, QStringLiteral("C%1").arg(id)}));
    // On screen, the database's own order; nothing sorts it.
    QList<qint64> databaseOrder;
    {
        DbSession conn(t.ctx());
        QSqlQuery q(conn.db());
        QVERIFY(q.exec(QStringLiteral("SELECT * FROM category_master")));
        while (q.next())
            databaseOrder << q.value(0).toLongLong();
    }
    const MasterStore store(t.ctx(), MasterKind::Category);
    QCOMPARE(store.ids(), databaseOrder);
    QCOMPARE(store.rows().at(1).name, QStringLiteral("C%1").arg(databaseOrder.at(1)));
    QCOMPARE(store.nextId(), std::optional<qint64>(10));
    // The printed listing goes by id.
    const QList<QStringList> listing{{QStringLiteral("2"), QStringLiteral("C2")},
                                     {QStringLiteral("5"), QStringLiteral("C5")},
                                     {QStringLiteral("9"), QStringLiteral("C9")}};
    QCOMPARE(store.listingRows(), listing);
}

QTEST_GUILESS_MAIN(TestMasterStore)
#include "tst_master_store.moc"
