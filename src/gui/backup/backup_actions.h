#pragma once

#include "core/backup/database_backup.h"
#include "core/db/db_context.h"
#include "gui/common/background_runner.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QProgressDialog;
class QWidget;

// What the menu's Backup..., Restore... and Check Database... do: ask for the file and for the user's word
// through the dialog wrappers, run the core's work on the background runner with its progress shown, and say how
// it ended. Each returns once its work has ended; the window keeps painting meanwhile.
class BackupActions : public QObject
{
    Q_OBJECT

public:
    static const QString kBackupCaption;
    static const QString kRestoreCaption;
    static const QString kFilter;
    static const QString kReplaceQuestion;
    static const QString kRepairQuestion;
    static const QString kNoProblems;

    using Now = std::function<QDateTime()>;

    BackupActions(const DbContext& ctx, QWidget* window);

    void setNow(Now now) { m_now = std::move(now); }

    void backup();
    void restore();
    void checkDatabase();
    // When the program closes: a backup into the Backups folder when the newest there is more than a day old.
    void backupIfDue();

private:
    // Runs the work with a progress window over the main window, and waits until it has ended.
    void runWithProgress(const QString& title, const std::function<void(DbSession&, BackgroundRunner&)>& work);
    // Shows the core's steps in the progress window; called on the worker thread.
    DatabaseBackup::Progress progressOn(BackgroundRunner& runner);
    void showError(const Error& error);

    DbContext m_ctx;
    QWidget* m_window;
    Now m_now;
    QPointer<QProgressDialog> m_progress;
    BackgroundRunner m_runner;
};
