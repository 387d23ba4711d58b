#pragma once

#include "core/db/db_context.h"
#include "core/transfer/citation_import.h"
#include "core/util/cancel_token.h"
#include "gui/common/background_runner.h"

#include <QDialog>
#include <QMutex>

#include <optional>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// Brings the citations of one file in: the choices, then a bar and the running counts while the rows are stored
// on a worker thread, then the summary with every refused row, which can be saved as a text file. Cancel stops
// after the current row; the rows stored before it stay.
class ImportDialog : public QDialog
{
    Q_OBJECT

public:
    ImportDialog(const DbContext& ctx, const QString& fileName, QWidget* parent = nullptr);
    ~ImportDialog() override;

    bool isRunning() const { return m_runner.isRunning(); }
    // The outcome of the last run, once it has ended.
    const std::optional<Result<ImportSummary>>& outcome() const { return m_outcome; }

    // Starts the import with the choices shown.
    void start();
    // While importing: stops after the current row. Otherwise closes the dialog.
    void cancelOrClose();

signals:
    void runFinished();

protected:
    void reject() override;

private:
    void deliverProgress();
    void finish();
    void saveRefusals();
    QString countsText(const ImportSummary& soFar) const;

    DbContext m_ctx;
    QString m_fileName;
    QCheckBox* m_duplicates = nullptr;
    QCheckBox* m_dryRun = nullptr;
    QProgressBar* m_bar = nullptr;
    QLabel* m_counts = nullptr;
    QPlainTextEdit* m_refusals = nullptr;
    QPushButton* m_importButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_saveButton = nullptr;

    CancelToken m_cancel;
    BackgroundRunner m_runner;
    // Written by the worker after each row, read on delivery.
    QMutex m_progressLock;
    ImportSummary m_progress;
    int m_percent = 0;
    std::optional<Result<ImportSummary>> m_outcome;
};
