#include "gui/backup/backup_actions.h"

#include "core/backup/automatic_backups.h"
#include "core/backup/database_backup.h"
#include "core/backup/database_check.h"
#include "core/db/database_admin.h"
#include "core/db/db_session.h"
#include "core/shell/app_info.h"
#include "gui/common/file_dialog.h"
#include "gui/common/hourglass.h"
#include "gui/common/message_box.h"

#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStandardPaths>

const QString BackupActions::kBackupCaption = QStringLiteral("Back up the database into");
const QString BackupActions::kRestoreCaption = QStringLiteral("Restore the database from");
const QString BackupActions::kFilter = QStringLiteral("Lexorium backup (*.db)");
const QString BackupActions::kReplaceQuestion = QStringLiteral("%1\nDo you want to replace them?");
const QString BackupActions::kRepairQuestion = QStringLiteral("%1\n\nThe repair will:\n%2\nDo you want to repair it?");
const QString BackupActions::kNoProblems = QStringLiteral("The database was checked: no problems found.");

namespace {
// Problems listed one by one in a message before the rest are only counted.
constexpr int kListedProblems = 20;

QString problemList(const DatabaseCheck::Report& report)
{
    QStringList lines;
    for (const DatabaseCheck::Problem& p : report.problems.mid(0, kListedProblems))
        lines << p.text;
    if (report.problems.size() > kListedProblems)
        lines << QStringLiteral("... and %1 more.").arg(report.problems.size() - kListedProblems);
    return QStringLiteral("The check found %1 problems:\n").arg(report.problems.size()) + lines.join(QLatin1Char('\n'));
}
} // namespace

BackupActions::BackupActions(const DbContext& ctx, QWidget* window)
    : QObject(window)
    , m_ctx(ctx)
    , m_window(window)
    , m_now([] { return QDateTime::currentDateTime(); })
{}

void BackupActions::runWithProgress(const QString& title,
                                    const std::function<void(DbSession&, BackgroundRunner&)>& work)
{
    Hourglass busy;
    QProgressDialog progress(m_window);
    progress.setWindowTitle(title);
    progress.setCancelButton(nullptr);
    progress.setRange(0, 100);
    progress.setMinimumDuration(500);
    progress.setWindowModality(Qt::WindowModal);
    progress.setValue(0);
    m_progress = &progress;
    BackgroundRunner* runner = &m_runner;
    m_runner.start(m_ctx, [&work, runner](DbSession& session, CancelToken&) { work(session, *runner); });
    m_runner.wait(-1, QEventLoop::ExcludeUserInputEvents);
    m_progress = nullptr;
    progress.reset();
}

DatabaseBackup::Progress BackupActions::progressOn(BackgroundRunner& runner)
{
    return [this, &runner](const QString& step, int percent) {
        runner.post([this, step, percent] {
            if (m_progress) {
                m_progress->setLabelText(step);
                m_progress->setValue(percent);
            }
        });
    };
}

void BackupActions::showError(const Error& error)
{
    MessageBox::show(m_window, MessageBox::errorTitle(error.code), error.description, MessageBox::Icon::Warning,
                     MessageBox::Buttons::Ok);
}

void BackupActions::backup()
{
    const QString suggested = QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                                  .filePath(DatabaseAdmin::plainDatabaseName(m_ctx) +
                                            m_now().toString(QStringLiteral("-yyyy-MM-dd")) + QStringLiteral(".db"));
    QString file = FileDialog::getSaveFileName(m_window, kBackupCaption, suggested, kFilter);
    if (file.isEmpty())
        return;
    if (QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".db");
    Result<DatabaseBackup::Summary> result = Error::other(QString());
    runWithProgress(QStringLiteral("Backup"), [&](DbSession& session, BackgroundRunner& runner) {
        result = DatabaseBackup::backup(session, file, progressOn(runner));
    });
    if (!result) {
        showError(result.error());
        return;
    }
    MessageBox::information(m_window, QStringLiteral("The database was backed up: %1 citations in %2.")
                                          .arg(result->citations)
                                          .arg(QDir::toNativeSeparators(result->file)));
}

void BackupActions::restore()
{
    const QString file = FileDialog::getOpenFileName(
        m_window, kRestoreCaption, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), kFilter);
    if (file.isEmpty())
        return;
    DatabaseBackup::Replace replace = DatabaseBackup::Replace::No;
    {
        Hourglass busy;
        const Result<DatabaseBackup::Summary> backup = DatabaseBackup::inspect(m_ctx, file);
        if (!backup) {
            busy.release();
            showError(backup.error());
            return;
        }
        DbSession session(m_ctx);
        const Result<TableCopy::Counts> there = DatabaseBackup::presentRows(session);
        if (!there) {
            busy.release();
            showError(there.error());
            return;
        }
        busy.release();
        if (TableCopy::total(*there) > 0) {
            const QString why = DatabaseBackup::kNotEmpty.arg(m_ctx.connection.database.trimmed())
                                    .arg(there->value(QStringLiteral("case_master")))
                                    .arg(TableCopy::total(*there));
            // No is the default: a hasty Enter keeps what is there.
            if (MessageBox::question(m_window, kReplaceQuestion.arg(why), MessageBox::Answer::No) !=
                MessageBox::Answer::Yes)
                return;
            replace = DatabaseBackup::Replace::Yes;
        }
    }
    Result<DatabaseBackup::Summary> result = Error::other(QString());
    runWithProgress(QStringLiteral("Restore"), [&](DbSession& session, BackgroundRunner& runner) {
        result = DatabaseBackup::restore(session, file, replace, progressOn(runner));
    });
    if (!result) {
        showError(result.error());
        return;
    }
    MessageBox::information(m_window, QStringLiteral("The database was restored: %1 citations from %2.")
                                          .arg(result->citations)
                                          .arg(QDir::toNativeSeparators(result->file)));
}

void BackupActions::checkDatabase()
{
    Result<DatabaseCheck::Report> report = Error::other(QString());
    runWithProgress(QStringLiteral("Check Database"),
                    [&](DbSession& session, BackgroundRunner&) { report = DatabaseCheck::run(session); });
    if (!report) {
        showError(report.error());
        return;
    }
    if (report->ok()) {
        MessageBox::information(m_window, kNoProblems);
        return;
    }
    const QStringList plan = DatabaseCheck::repairPlan(*report);
    if (plan.isEmpty()) {
        MessageBox::show(m_window, applicationTitle(), problemList(*report), MessageBox::Icon::Warning,
                         MessageBox::Buttons::Ok);
        return;
    }
    if (MessageBox::question(m_window, kRepairQuestion.arg(problemList(*report), plan.join(QLatin1Char('\n'))),
                             MessageBox::Answer::No) != MessageBox::Answer::Yes)
        return;
    Error repaired;
    runWithProgress(QStringLiteral("Check Database"), [&](DbSession& session, BackgroundRunner&) {
        repaired = DatabaseCheck::repair(session);
        if (!repaired)
            report = DatabaseCheck::run(session);
    });
    if (repaired) {
        showError(repaired);
        return;
    }
    if (!report) {
        showError(report.error());
        return;
    }
    if (report->ok())
        MessageBox::information(m_window, QStringLiteral("The database was repaired: no problems are left."));
    else
        MessageBox::show(m_window, applicationTitle(),
                         QStringLiteral("The database was repaired. ") + problemList(*report),
                         MessageBox::Icon::Warning, MessageBox::Buttons::Ok);
}

void BackupActions::backupIfDue()
{
    const QDateTime now = m_now();
    if (!AutomaticBackups::isDue(m_ctx, now))
        return;
    Result<QString> made = Error::other(QString());
    runWithProgress(QStringLiteral("Backup"),
                    [&](DbSession& session, BackgroundRunner&) { made = AutomaticBackups::make(session, now); });
    if (!made)
        showError(Error{made.error().kind, made.error().code,
                        QStringLiteral("The daily backup could not be made: %1").arg(made.error().description)});
}
