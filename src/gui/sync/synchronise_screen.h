#pragma once

#include "core/db/db_context.h"
#include "core/sync/database_merge.h"
#include "gui/common/background_runner.h"
#include "gui/common/chelp.h"
#include "gui/common/screen_hooks.h"

#include <QDateTime>
#include <QDialog>
#include <QList>

#include <functional>
#include <memory>

class Hourglass;
class QFrame;
class QGridLayout;
class QLabel;
class QLayout;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The Synchronisation screen: names a second database and merges it into the present one. The merge runs on the
// background runner's thread, so the screen keeps painting its status text and bar; only one run at a time.
class SynchroniseScreen : public QDialog
{
    Q_OBJECT

public:
    enum Box { PresentBox = 0, ServerBox, DatabaseBox, UserBox, PasswordBox };
    static constexpr int kHelpContext = 90100;
    static const QString kEntriesError;
    static const QString kMerged;
    static const QString kBrowseCaption;
    static const QString kBrowseFilter;

    using HelpHandler = ScreenHooks::HelpHandler;
    // Test seam: sees each merge before it runs (to inject a failure into it).
    using MergeHook = std::function<void(DatabaseMerge& merge)>;
    // The time that names the backup made before each run.
    using Now = std::function<QDateTime()>;
    static const QString kBackupFailed;

    explicit SynchroniseScreen(const DbContext& ctx, QWidget* parent = nullptr);
    ~SynchroniseScreen() override;

    void setHelpHandler(HelpHandler handler) { m_helpHandler = std::move(handler); }
    void setMergeHook(MergeHook hook) { m_mergeHook = std::move(hook); }
    void setNow(Now now) { m_now = std::move(now); }
    bool isRunning() const { return m_runner.isRunning(); }

public slots:
    // Help, Close and Synchronisation ("Cmd0009(0)".."Cmd0009(2)").
    void showHelp();
    // Not while a run is going.
    void closeScreen();
    // Starts a merge of the second database into the present one.
    void synchronise();
    // The second database's boxes were changed: Synchronisation only with all four filled.
    void updateCommands();
    // Picks an embedded database file for the database box.
    void browseDatabase();
    void reject() override;

signals:
    // A run has ended, however it ended.
    void runFinished();

private:
    QFrame* buildEntries();
    QFrame* buildProgress();
    QLayout* buildButtons();
    void setTabOrders();
    QLineEdit* addBox(QGridLayout* grid, int box, int row);
    void showProgress(const QString& status, int bar);
    void finish();
    void showOutcome(const Result<DatabaseMerge::Summary>& result);
    void setButtonsEnabled(bool enabled);

    DbContext m_ctx;
    CHelp m_help;
    HelpHandler m_helpHandler;
    MergeHook m_mergeHook;
    Now m_now;
    QString m_backupFile; // made before the last run
    QList<QLineEdit*> m_boxes;
    QPushButton* m_helpButton = nullptr;
    QPushButton* m_closeButton = nullptr;
    QPushButton* m_syncButton = nullptr;
    QPushButton* m_browse = nullptr;
    QFrame* m_progressFrame = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_bar = nullptr;
    std::unique_ptr<DatabaseMerge> m_merge;
    Result<DatabaseMerge::Summary> m_result = DatabaseMerge::Summary(); // of the last run
    std::unique_ptr<Hourglass> m_busy;
    BackgroundRunner m_runner; // last: the run ends before the merge it uses goes
};
