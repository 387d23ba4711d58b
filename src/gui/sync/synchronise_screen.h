#pragma once

#include "core/db/db_context.h"
#include "core/sync/database_merge.h"
#include "gui/common/chelp.h"

#include <QDialog>
#include <QList>

#include <functional>
#include <memory>

class Hourglass;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QThread;

// The Synchronisation screen: names a second database and merges it into the present one. The merge runs in a
// thread of its own, so the screen keeps painting its status text and bar; only one run at a time.
class SynchroniseScreen : public QDialog
{
    Q_OBJECT

public:
    enum Button { HelpButton = 0, CloseButton = 1, SynchroniseButton = 2 };
    enum Box { PresentBox = 0, ServerBox, DatabaseBox, UserBox, PasswordBox };
    static constexpr int kHelpContext = 90100;
    static const QString kEntriesError;
    static const QString kMerged;
    static const QString kBrowseCaption;
    static const QString kBrowseFilter;

    using HelpHandler = std::function<void(QWidget* owner, const QString& programDir, int contextId)>;
    // Test seam: sees each merge before it runs (to inject a failure into it).
    using MergeHook = std::function<void(DatabaseMerge& merge)>;

    explicit SynchroniseScreen(const DbContext& ctx, QWidget* parent = nullptr);
    ~SynchroniseScreen() override;

    void setHelpHandler(HelpHandler handler) { m_helpHandler = std::move(handler); }
    void setMergeHook(MergeHook hook) { m_mergeHook = std::move(hook); }
    bool isRunning() const { return m_thread != nullptr; }

public slots:
    void Cmd0009_Click(int index);
    void Txt0009_Change();
    // Picks an embedded database file for the database box.
    void browseDatabase();
    void reject() override;

signals:
    // A run has ended, however it ended.
    void runFinished();

private:
    void synchronise();
    void showProgress(const QString& status, int bar);
    void finish();
    void setButtonsEnabled(bool enabled);

    DbContext m_ctx;
    CHelp m_help;
    HelpHandler m_helpHandler;
    MergeHook m_mergeHook;
    QList<QLineEdit*> m_boxes;
    QList<QPushButton*> m_buttons;
    QPushButton* m_browse = nullptr;
    QFrame* m_progressFrame = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_bar = nullptr;
    std::unique_ptr<DatabaseMerge> m_merge;
    DatabaseMerge::Result m_result;
    QThread* m_thread = nullptr;
    std::unique_ptr<Hourglass> m_busy;
};
