#pragma once

#include "core/db/db_context.h"
#include "core/util/cancel_token.h"
#include "core/util/result.h"
#include "gui/common/background_runner.h"

#include <QDialog>

#include <atomic>
#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;

// Writes citations to one file in the import's form on a worker thread, with a bar, the count written and
// Cancel (which leaves no file behind). The outcome is said in a message when the run ends.
class ExportDialog : public QDialog
{
    Q_OBJECT

public:
    // Every citation when caseIds is empty.
    ExportDialog(const DbContext& ctx, const QString& fileName, const QList<qint64>& caseIds = {},
                 QWidget* parent = nullptr);
    ~ExportDialog() override;

    // Starts writing; the dialog closes itself once the outcome has been said.
    void start();
    bool isRunning() const { return m_runner.isRunning(); }
    const std::optional<Result<qint64>>& outcome() const { return m_outcome; }
    // Asks the run to stop; no file is left.
    void cancel();

    // The message that tells the user the outcome.
    static QString outcomeText(const Result<qint64>& outcome, const QString& fileName);

signals:
    void runFinished();

protected:
    void reject() override;

private:
    void deliverProgress();
    void finish();

    DbContext m_ctx;
    QString m_fileName;
    QList<qint64> m_caseIds;
    QProgressBar* m_bar = nullptr;
    QLabel* m_counts = nullptr;
    QPushButton* m_cancelButton = nullptr;
    CancelToken m_cancel;
    BackgroundRunner m_runner;
    std::atomic<qint64> m_written{0};
    std::atomic<qint64> m_total{0};
    std::optional<Result<qint64>> m_outcome;
};
