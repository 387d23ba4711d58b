// The Backups folder: names that sort by time, the newest ten of each database kept, and a backup at closing only
// once the newest is more than a day old.
#include "core/backup/automatic_backups.h"
#include "core/db/database_admin.h"
#include "core/db/db_session.h"
#include "support/test_database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

class TstAutomaticBackups : public QObject
{
    Q_OBJECT

private slots:
    void keepsTheNewestTen();
    void dueOnceADay_data();
    void dueOnceADay();
};

void TstAutomaticBackups::keepsTheNewestTen()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    const QString name = DatabaseAdmin::plainDatabaseName(t.ctx());
    // Another database's backup in the same folder is not counted among these, nor removed.
    QVERIFY(QDir().mkpath(AutomaticBackups::folder(t.ctx())));
    const QString foreign =
        AutomaticBackups::folder(t.ctx()) + QLatin1Char('/') + name + QStringLiteral("x-2020-01-01-000000.db");
    QFile f(foreign);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();

    DbSession session(t.ctx());
    const QDateTime first(QDate(2026, 1, 1), QTime(9, 0, 0));
    QString last;
    for (int i = 0; i < 12; ++i) {
        const Result<QString> made = AutomaticBackups::make(session, first.addSecs(3600 * i));
        QVERIFY2(made, qPrintable(made ? QString() : made.error().description));
        last = *made;
    }
    QCOMPARE(QFileInfo(last).fileName(), name + QStringLiteral("-2026-01-01-200000.db"));
    const QStringList kept = AutomaticBackups::existing(t.ctx());
    QCOMPARE(kept.size(), AutomaticBackups::kKept);
    QCOMPARE(QFileInfo(kept.first()).fileName(), name + QStringLiteral("-2026-01-01-110000.db"));
    QCOMPARE(kept.last(), last);
    QVERIFY(QFileInfo::exists(foreign));
    QCOMPARE(*AutomaticBackups::newest(t.ctx()), first.addSecs(3600 * 11));
    // Only the owner may read the folder.
    QCOMPARE(QFileInfo(AutomaticBackups::folder(t.ctx())).permissions() & (QFile::ReadOther | QFile::ReadGroup),
             QFile::Permissions());
}

void TstAutomaticBackups::dueOnceADay_data()
{
    QTest::addColumn<qint64>("ageSeconds");
    QTest::addColumn<bool>("due");
    QTest::newRow("none yet") << qint64(-1) << true;
    QTest::newRow("an hour old") << qint64(3600) << false;
    QTest::newRow("exactly a day") << qint64(24 * 3600) << false;
    QTest::newRow("a day and a second") << qint64(24 * 3600 + 1) << true;
}

void TstAutomaticBackups::dueOnceADay()
{
    QFETCH(qint64, ageSeconds);
    QFETCH(bool, due);
    LEX_USE_DATABASE(t, true);
    const QDateTime now(QDate(2026, 6, 1), QTime(12, 0, 0));
    if (ageSeconds >= 0) {
        DbSession session(t.ctx());
        QVERIFY(AutomaticBackups::make(session, now.addSecs(-ageSeconds)));
    }
    QCOMPARE(AutomaticBackups::isDue(t.ctx(), now), due);
}

QTEST_GUILESS_MAIN(TstAutomaticBackups)
#include "tst_automatic_backups.moc"
