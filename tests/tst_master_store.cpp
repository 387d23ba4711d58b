#include "core/db/db_session.h"
#include "core/masters/master_store.h"
#include "support/test_database.h"

#include <QSqlDatabase>
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
    void aRefusedWriteLeavesTheTableAsItWas();
    void addTakesTheNextKeyItself();
    void oneSessionForEverything();
    void listingIsDatedByTheGivenClock();
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
    DbSession session(t.ctx());
    MasterStore store(session, kind);
    QCOMPARE(store.nextId().valueOr(-1), 1);
    QVERIFY(store.rows()->isEmpty());

    const Result<qint64> first = store.add(QStringLiteral("  Qanun-e-Shahadat  "));
    QVERIFY(first.ok());
    QCOMPARE(*first, 1);
    QCOMPARE(store.add(QStringLiteral("Owner's Liability")).valueOr(0), 2);
    QCOMPARE(name(t, store.table(), 1), QStringLiteral("Qanun-e-Shahadat"));
    QCOMPARE(name(t, store.table(), 2), QStringLiteral("Owner's Liability"));
    QCOMPARE(store.nameOf(2)->value_or(QString()), QStringLiteral("Owner's Liability"));
    QVERIFY(store.nameOf(3).ok());
    QVERIFY(!store.nameOf(3)->has_value());
    QCOMPARE(store.nextId().valueOr(-1), 3);

    const Error blank = store.add(QStringLiteral("   ")).error();
    QCOMPARE(blank.kind, Error::Kind::Other);
    QCOMPARE(blank.description, store.table().emptyName);
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
    DbSession session(t.ctx());
    MasterStore store(session, kind);
    const MasterTable& m = store.table();
    // Written directly, so a stored name may keep blanks the screens would have trimmed.
    QVERIFY(t.exec(QStringLiteral("INSERT INTO %1 (id, %2) VALUES (1, ?)").arg(m.table, m.nameColumn), {stored}));
    QVERIFY(t.exec(QStringLiteral("INSERT INTO %1 (id, %2) VALUES (2, 'Other')").arg(m.table, m.nameColumn)));

    const Result<qint64> added = store.add(typed);
    QCOMPARE(added.error().kind, duplicate ? Error::Kind::Duplicate : Error::Kind::None);
    if (duplicate)
        QCOMPARE(added.error().description, m.addDuplicate);
    QCOMPARE(count(t, m), duplicate ? 2 : 3);
    QVERIFY(t.exec(QStringLiteral("DELETE FROM ") + m.table + QStringLiteral(" WHERE id = 3")));

    const Error renamed = store.rename(2, typed);
    QCOMPARE(renamed.kind, duplicate ? Error::Kind::Duplicate : Error::Kind::None);
    if (duplicate)
        QCOMPARE(renamed.description, m.modifyDuplicate);
    QCOMPARE(name(t, m, 2), duplicate ? QStringLiteral("Other") : typed.trimmed());
}

void TestMasterStore::renameRules()
{
    QFETCH(MasterKind, kind);
    LEX_USE_DATABASE(t, true);
    DbSession session(t.ctx());
    MasterStore store(session, kind);
    QVERIFY(store.add(QStringLiteral("Civil")).ok());
    QVERIFY(store.add(QStringLiteral("Criminal")).ok());

    // Its own name, and its own name in another case, are not duplicates.
    QVERIFY(!store.rename(1, QStringLiteral("Civil")));
    QVERIFY(!store.rename(1, QStringLiteral(" CIVIL ")));
    QCOMPARE(name(t, store.table(), 1), QStringLiteral("CIVIL"));
    QCOMPARE(store.rename(1, QStringLiteral("criminal")).kind, Error::Kind::Duplicate);
    const Error blank = store.rename(1, QStringLiteral("  "));
    QCOMPARE(blank.kind, Error::Kind::Other);
    QCOMPARE(blank.description, store.table().emptyName);
    QVERIFY(!store.rename(2, QStringLiteral("Writ's")));
    QCOMPARE(name(t, store.table(), 2), QStringLiteral("Writ's"));
    QCOMPARE(name(t, store.table(), 1), QStringLiteral("CIVIL"));
}

void TestMasterStore::removeIsRefusedWhileInUse()
{
    QFETCH(MasterKind, kind);
    LEX_USE_DATABASE(t, true);
    DbSession session(t.ctx());
    MasterStore store(session, kind);
    QVERIFY(store.add(QStringLiteral("Used")).ok());
    QVERIFY(store.add(QStringLiteral("Free")).ok());
    QVERIFY(link(t, store.table(), 1));

    QCOMPARE(store.isInUse(1).valueOr(false), true);
    QCOMPARE(store.isInUse(2).valueOr(true), false);
    QCOMPARE(store.remove(1).kind, Error::Kind::InUse);
    QCOMPARE(name(t, store.table(), 1), QStringLiteral("Used"));
    QVERIFY(!store.remove(2));
    QCOMPARE(store.ids().valueOr({}), QList<qint64>{1});
    // The largest id is handed out again once its row is gone.
    QCOMPARE(store.nextId().valueOr(-1), 2);
    QCOMPARE(store.add(QStringLiteral("Again")).valueOr(0), 2);
}

void TestMasterStore::rowsGoneBehindTheStoresBack()
{
    QFETCH(MasterKind, kind);
    LEX_USE_DATABASE(t, true);
    DbSession session(t.ctx());
    MasterStore store(session, kind);
    QVERIFY(store.add(QStringLiteral("Kept")).ok());
    QVERIFY(store.add(QStringLiteral("Gone")).ok());
    QVERIFY(t.exec(QStringLiteral("DELETE FROM ") + store.table().table + QStringLiteral(" WHERE id = 2")));

    QCOMPARE(store.rename(2, QStringLiteral("Back")).kind, Error::Kind::NotFound);
    // Gone and named like another row: that it is gone is what counts.
    QCOMPARE(store.rename(2, QStringLiteral("kept")).kind, Error::Kind::NotFound);
    QCOMPARE(store.remove(2).kind, Error::Kind::NotFound);
    // Keys that were never handed out.
    QCOMPARE(store.rename(0, QStringLiteral("Zero")).kind, Error::Kind::NotFound);
    QCOMPARE(store.remove(0).kind, Error::Kind::NotFound);
    QCOMPARE(count(t, store.table()), 1);
    QCOMPARE(name(t, store.table(), 1), QStringLiteral("Kept"));
}

void TestMasterStore::aRefusedWriteLeavesTheTableAsItWas()
{
    LEX_USE_DATABASE(t, true);
    DbSession session(t.ctx());
    MasterStore store(session, MasterKind::Court);
    QVERIFY(store.add(QStringLiteral("Supreme Court")).ok());

    // A name longer than the column allows: the engine's own words come back, not a summary of ours.
    const Error tooLong = store.rename(1, QString(101, QLatin1Char('x')));
    QCOMPARE(tooLong.kind, Error::Kind::Other);
    QVERIFY(!tooLong.description.isEmpty());
    QVERIFY2(!tooLong.description.contains(QLatin1String("rolled back")), qPrintable(tooLong.description));
    QCOMPARE(store.add(QString(101, QLatin1Char('y'))).error().kind, Error::Kind::Other);

    // Each step of each write can fail; every failure rolls back and names itself.
    for (const QString& step :
         {QStringLiteral("INSERT INTO"), QStringLiteral("MAX("), QStringLiteral("UPDATE"), QStringLiteral("DELETE")}) {
        session.failNextStatementContaining(step);
        const Error e = step == QLatin1String("UPDATE")   ? store.rename(1, QStringLiteral("Renamed"))
                        : step == QLatin1String("DELETE") ? store.remove(1)
                                                          : store.add(QStringLiteral("High Court")).error();
        QCOMPARE(e.kind, Error::Kind::Other);
        QVERIFY2(e.description.contains(step), qPrintable(e.description));
    }
    QCOMPARE(count(t, store.table()), 1);
    QCOMPARE(name(t, store.table(), 1), QStringLiteral("Supreme Court"));
    // The session is still good for the next write.
    QCOMPARE(store.add(QStringLiteral("High Court")).valueOr(0), 2);
}

void TestMasterStore::addTakesTheNextKeyItself()
{
    LEX_USE_DATABASE(t, true);
    for (int id : {1, 2, 7})
        QVERIFY(t.exec(QStringLiteral("INSERT INTO act_master (id, act) VALUES (?, ?)"),
                       {id, QStringLiteral("A%1").arg(id)}));
    DbSession session(t.ctx());
    MasterStore store(session, MasterKind::Act);
    // Whatever was proposed before, the key is the largest + 1 when the row is written.
    QCOMPARE(store.nextId().valueOr(-1), 8);
    QVERIFY(t.exec(QStringLiteral("INSERT INTO act_master (id, act) VALUES (8, 'Behind our back')")));
    const Result<qint64> added = store.add(QStringLiteral("Mine"));
    QVERIFY(added.ok());
    QCOMPARE(*added, 9);
    QCOMPARE(name(t, store.table(), 9), QStringLiteral("Mine"));
    QCOMPARE(name(t, store.table(), 8), QStringLiteral("Behind our back"));
    QVERIFY(!session.inTransaction());
}

void TestMasterStore::oneSessionForEverything()
{
    LEX_USE_DATABASE(t, true);
    const QStringList before = QSqlDatabase::connectionNames();
    DbSession session(t.ctx());
    MasterStore store(session, MasterKind::Category);
    QCOMPARE(QSqlDatabase::connectionNames().size(), before.size() + 1);
    QVERIFY(store.add(QStringLiteral("Civil")).ok());
    QVERIFY(!store.rename(1, QStringLiteral("Civil Law")));
    QVERIFY(store.rows().ok());
    QVERIFY(store.listing([] { return QDate(2026, 12, 8); }).ok());
    QVERIFY(!store.remove(1));
    // The store opened no connection of its own, and left none behind.
    QCOMPARE(QSqlDatabase::connectionNames().size(), before.size() + 1);

    // A session that could not be opened: every call says why, nothing is written.
    DbContext gone = t.ctx();
    gone.connection.database += QStringLiteral("_missing");
    DbSession closed(gone);
    QVERIFY(!closed.isOpen());
    MasterStore nowhere(closed, MasterKind::Category);
    QCOMPARE(nowhere.rows().error().description, closed.error().description);
    QCOMPARE(nowhere.nextId().error().description, closed.error().description);
    const Result<qint64> refused = nowhere.add(QStringLiteral("Civil"));
    QVERIFY(!refused.ok());
    QCOMPARE(refused.error().kind, closed.error().kind);
    QCOMPARE(refused.error().description, closed.error().description);
}

void TestMasterStore::listingIsDatedByTheGivenClock()
{
    LEX_USE_DATABASE(t, true);
    DbSession session(t.ctx());
    MasterStore store(session, MasterKind::Court);
    const Result<ListingReportData> empty = store.listing([] { return QDate(2031, 3, 31); });
    QVERIFY(empty.ok());
    QVERIFY(empty->rows.isEmpty());
    QCOMPARE(empty->date, QDate(2031, 3, 31));

    QVERIFY(store.add(QStringLiteral("High Court")).ok());
    QVERIFY(store.add(QStringLiteral("Federal Shariat Court")).ok());
    const Result<ListingReportData> data = store.listing([] { return QDate(2026, 12, 8); });
    QVERIFY(data.ok());
    QCOMPARE(data->caption, QStringLiteral("Court Name Listing Report"));
    QCOMPARE(data->title, QStringLiteral("Court Names Listing Report"));
    QCOMPARE(data->date, QDate(2026, 12, 8));
    QCOMPARE(data->rows, (QList<QStringList>{{QStringLiteral("1"), QStringLiteral("High Court")},
                                             {QStringLiteral("2"), QStringLiteral("Federal Shariat Court")}}));

    session.failNextStatementContaining(QStringLiteral("ORDER BY"));
    QVERIFY(!store.listing([] { return QDate(2026, 12, 8); }).ok());
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
    DbSession session(t.ctx());
    const MasterStore store(session, MasterKind::Category);
    QCOMPARE(store.ids().valueOr({}), databaseOrder);
    QCOMPARE(store.rows()->at(1).name, QStringLiteral("C%1").arg(databaseOrder.at(1)));
    QCOMPARE(store.nextId().valueOr(-1), 10);
    // The printed listing goes by id.
    const QList<QStringList> listing{{QStringLiteral("2"), QStringLiteral("C2")},
                                     {QStringLiteral("5"), QStringLiteral("C5")},
                                     {QStringLiteral("9"), QStringLiteral("C9")}};
    QCOMPARE(store.listingRows().valueOr({}), listing);
}

QTEST_GUILESS_MAIN(TestMasterStore)
#include "tst_master_store.moc"
