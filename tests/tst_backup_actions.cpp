// The menu's Backup..., Restore... and Check Database... as a user drives them, and the daily backup at closing.
#include "core/backup/automatic_backups.h"
#include "core/db/db_session.h"
#include "datagen/citation_filler.h"
#include "datagen/citation_generator.h"
#include "gui/backup/backup_actions.h"
#include "gui/common/file_dialog.h"
#include "gui/shell/main_window.h"
#include "support/gui_test_support.h"
#include "support/test_database.h"

#include <QAction>
#include <QFileInfo>
#include <QScopeGuard>

namespace {
bool fill(const TestDatabase& t, int n, quint64 seed)
{
    DbSession session(t.ctx());
    CitationGenerator generator(seed);
    return !CitationFiller::writeMasters(session) && !CitationFiller::fill(session, generator, n);
}

int citations(const TestDatabase& t)
{
    return t.scalar(QStringLiteral("SELECT COUNT(*) FROM case_master")).toInt();
}
} // namespace

class TstBackupActions : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        MessageBox::setScripted(true);
        MessageBox::clearShown();
        FileDialog::setScripted(true);
        FileDialog::clearAsked();
    }
    void cleanup()
    {
        MessageBox::setScripted(false);
        FileDialog::setScripted(false);
    }

    void backupAndRestoreFromTheMenu();
    void checkOffersTheRepair();
    void closingMakesTheDailyBackup();
};

void TstBackupActions::backupAndRestoreFromTheMenu()
{
    LEX_USE_DATABASE(source, true);
    QVERIFY(fill(source, 6, 1));
    const QString file = source.programDir() + QStringLiteral("/menu");
    {
        MainWindow window(source.ctx());
        window.backupActions().setNow([] { return QDateTime(QDate(2026, 1, 1), QTime(10, 0)); });
        LEX_FIND(backup, QAction, &window, QStringLiteral("BackupDatabase"));
        FileDialog::setNextFileName(file);
        backup->trigger();
        QCOMPARE(FileDialog::asked().size(), 1);
        QCOMPARE(FileDialog::asked().first().caption, BackupActions::kBackupCaption);
        // The name as typed, with the suffix the filter names.
        QCOMPARE(shownTexts(),
                 QStringList{QStringLiteral("The database was backed up: 6 citations in %1.db.").arg(file)});
        QVERIFY(QFileInfo::exists(file + QStringLiteral(".db")));
    }

    LEX_USE_DATABASE(target, true);
    QVERIFY(fill(target, 2, 9));
    MainWindow window(target.ctx());
    LEX_FIND(restore, QAction, &window, QStringLiteral("RestoreDatabase"));
    MessageBox::clearShown();
    FileDialog::setNextFileName(file + QStringLiteral(".db"));
    MessageBox::setNextAnswer(MessageBox::Answer::No);
    restore->trigger();
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().first().icon, MessageBox::Icon::Question);
    QCOMPARE(MessageBox::shown().first().defaultButton, MessageBox::Answer::No);
    QVERIFY2(shownTexts().first().contains(QStringLiteral("holds 2 citations")), qPrintable(shownTexts().first()));
    QCOMPARE(citations(target), 2);

    MessageBox::clearShown();
    FileDialog::setNextFileName(file + QStringLiteral(".db"));
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    restore->trigger();
    QCOMPARE(shownTexts().last(), QStringLiteral("The database was restored: 6 citations from %1.db.").arg(file));
    QCOMPARE(target.citationTableRows(), source.citationTableRows());
}

void TstBackupActions::checkOffersTheRepair()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(fill(t, 3, 2));
    MainWindow window(t.ctx());
    LEX_FIND(check, QAction, &window, QStringLiteral("CheckDatabase"));
    check->trigger();
    QCOMPARE(shownTexts(), QStringList{BackupActions::kNoProblems});

    QVERIFY(t.exec(QStringLiteral("INSERT INTO cm_fact_summary_master (id, fact_summary) VALUES (808, ?)"),
                   {QStringLiteral("stray")}));
    // Declined: nothing is changed.
    MessageBox::clearShown();
    MessageBox::setNextAnswer(MessageBox::Answer::No);
    check->trigger();
    QCOMPARE(MessageBox::shown().size(), 1);
    QVERIFY2(shownTexts().first().contains(QStringLiteral("Remove the 1 text rows that belong to no citation.")),
             qPrintable(shownTexts().first()));
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM cm_fact_summary_master WHERE id = 808")).toInt(), 1);

    MessageBox::clearShown();
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    check->trigger();
    QCOMPARE(shownTexts().last(), QStringLiteral("The database was repaired: no problems are left."));
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM cm_fact_summary_master WHERE id = 808")).toInt(), 0);
}

void TstBackupActions::closingMakesTheDailyBackup()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(fill(t, 2, 3));
    const QDateTime monday(QDate(2026, 2, 2), QTime(18, 0));
    for (const QDateTime& at : {monday, monday.addSecs(3600), monday.addDays(2)}) {
        MainWindow window(t.ctx());
        window.backupActions().setNow([at] { return at; });
        window.show();
        window.close();
    }
    // The first close and the one two days later; not the one an hour after the first.
    const QStringList made = AutomaticBackups::existing(t.ctx());
    QCOMPARE(made.size(), 2);
    QVERIFY(made.first().endsWith(QStringLiteral("-2026-02-02-180000.db")));
    QVERIFY(made.last().endsWith(QStringLiteral("-2026-02-04-180000.db")));
    QVERIFY(MessageBox::shown().isEmpty());
}

QTEST_MAIN(TstBackupActions)
#include "tst_backup_actions.moc"
