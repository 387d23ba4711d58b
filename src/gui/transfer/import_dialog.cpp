#include "gui/transfer/import_dialog.h"

#include "core/citations/atomic_file.h"
#include "core/db/db_session.h"
#include "gui/common/file_dialog.h"
#include "gui/common/message_box.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kTitle = QStringLiteral("Import Citations");
} // namespace

ImportDialog::ImportDialog(const DbContext& ctx, const QString& fileName, QWidget* parent)
    : QDialog(parent)
    , m_ctx(ctx)
    , m_fileName(fileName)
{
    setObjectName(QStringLiteral("ImportDialog"));
    setWindowTitle(kTitle);
    auto* layout = new QVBoxLayout(this);
    auto* file = new QLabel(QStringLiteral("Citations from %1").arg(QFileInfo(fileName).fileName()), this);
    file->setObjectName(QStringLiteral("ImportFile"));
    file->setToolTip(fileName);
    layout->addWidget(file);

    m_duplicates = new QCheckBox(QStringLiteral("Import &duplicates as well (the same citation and month of "
                                                "judgment as a stored one)"),
                                 this);
    m_duplicates->setObjectName(QStringLiteral("ImportDuplicates"));
    m_dryRun = new QCheckBox(QStringLiteral("C&heck the file only; store nothing"), this);
    m_dryRun->setObjectName(QStringLiteral("ImportDryRun"));
    layout->addWidget(m_duplicates);
    layout->addWidget(m_dryRun);

    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("ImportProgress"));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    layout->addWidget(m_bar);
    m_counts = new QLabel(this);
    m_counts->setObjectName(QStringLiteral("ImportCounts"));
    m_counts->setWordWrap(true);
    layout->addWidget(m_counts);
    m_refusals = new QPlainTextEdit(this);
    m_refusals->setObjectName(QStringLiteral("ImportRefusals"));
    m_refusals->setReadOnly(true);
    m_refusals->setVisible(false);
    layout->addWidget(m_refusals, 1);

    auto* buttons = new QDialogButtonBox(this);
    m_importButton = buttons->addButton(QStringLiteral("&Import"), QDialogButtonBox::AcceptRole);
    m_importButton->setObjectName(QStringLiteral("ImportStart"));
    m_saveButton = buttons->addButton(QStringLiteral("&Save List..."), QDialogButtonBox::ActionRole);
    m_saveButton->setObjectName(QStringLiteral("ImportSaveList"));
    m_saveButton->setEnabled(false);
    m_cancelButton = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    m_cancelButton->setObjectName(QStringLiteral("ImportCancel"));
    layout->addWidget(buttons);
    // Each button to its own slot; the box's accepted/rejected would close the dialog.
    disconnect(buttons, nullptr, this, nullptr);
    connect(m_importButton, &QPushButton::clicked, this, &ImportDialog::start);
    connect(m_cancelButton, &QPushButton::clicked, this, &ImportDialog::cancelOrClose);
    connect(m_saveButton, &QPushButton::clicked, this, &ImportDialog::saveRefusals);

    m_runner.setDelivery([this] { deliverProgress(); });
    resize(560, 300);
}

ImportDialog::~ImportDialog()
{
    m_cancel.cancel();
    m_runner.cancel();
}

void ImportDialog::start()
{
    if (m_runner.isRunning())
        return;
    m_cancel.reset();
    m_outcome.reset();
    m_progress = {};
    m_percent = 0;
    m_bar->setValue(0);
    m_refusals->clear();
    m_refusals->setVisible(false);
    m_saveButton->setEnabled(false);
    m_importButton->setEnabled(false);
    m_duplicates->setEnabled(false);
    m_dryRun->setEnabled(false);
    m_cancelButton->setText(QStringLiteral("Cancel"));
    m_counts->setText(QStringLiteral("Reading %1 ...").arg(QFileInfo(m_fileName).fileName()));

    ImportOptions options;
    options.allowDuplicates = m_duplicates->isChecked();
    options.dryRun = m_dryRun->isChecked();
    const QString fileName = m_fileName;
    m_runner.start(
        m_ctx,
        [this, fileName, options](DbSession& session, CancelToken&) {
            Result<ImportSummary> outcome = CitationImport::run(session, fileName, options, &m_cancel,
                                                                [this](const ImportSummary& soFar, int percent) {
                                                                    {
                                                                        QMutexLocker lock(&m_progressLock);
                                                                        // The rows refused so far are shown at the end,
                                                                        // not copied after every row.
                                                                        m_progress = soFar;
                                                                        m_progress.refusals.clear();
                                                                        m_percent = percent;
                                                                    }
                                                                    m_runner.notify();
                                                                });
            m_runner.post([this, outcome] { m_outcome = outcome; });
        },
        [this] { finish(); });
}

void ImportDialog::deliverProgress()
{
    ImportSummary soFar;
    int percent = 0;
    {
        QMutexLocker lock(&m_progressLock);
        soFar = m_progress;
        percent = m_percent;
    }
    m_bar->setValue(percent);
    m_counts->setText(countsText(soFar));
}

QString ImportDialog::countsText(const ImportSummary& soFar) const
{
    const QLocale locale;
    return QStringLiteral("%1 rows read: %2 %3, %4 skipped as duplicates, %5 refused.")
        .arg(locale.toString(soFar.read), locale.toString(soFar.stored),
             soFar.dryRun ? QStringLiteral("would be stored") : QStringLiteral("stored"),
             locale.toString(soFar.duplicates), locale.toString(soFar.refused));
}

void ImportDialog::finish()
{
    m_importButton->setEnabled(true);
    m_duplicates->setEnabled(true);
    m_dryRun->setEnabled(true);
    m_cancelButton->setText(QStringLiteral("Close"));
    if (!m_outcome)
        return;
    if (!*m_outcome) {
        m_counts->setText(m_outcome->error().description);
        emit runFinished();
        MessageBox::show(this, kTitle, m_outcome->error().description, MessageBox::Icon::Critical,
                         MessageBox::Buttons::Ok);
        return;
    }
    const ImportSummary& summary = **m_outcome;
    m_bar->setValue(summary.cancelled ? m_bar->value() : 100);
    m_counts->setText(CitationImport::summaryText(summary));
    const QString refusals = CitationImport::refusalsText(summary);
    m_refusals->setPlainText(refusals);
    m_refusals->setVisible(!refusals.isEmpty());
    m_saveButton->setEnabled(!refusals.isEmpty());
    // A file that went in whole needs no second look at it.
    m_importButton->setEnabled(summary.dryRun || summary.cancelled);
    emit runFinished();
}

void ImportDialog::cancelOrClose()
{
    if (m_runner.isRunning()) {
        m_cancel.cancel();
        m_counts->setText(m_counts->text() + QStringLiteral("\nCancelling after the current row ..."));
        return;
    }
    QDialog::reject();
}

void ImportDialog::reject()
{
    // Escape and the window's close button while rows are being stored cancel first, like Cancel.
    cancelOrClose();
}

void ImportDialog::saveRefusals()
{
    const QFileInfo source(m_fileName);
    const QString chosen =
        FileDialog::getSaveFileName(this, QStringLiteral("Save the Refused Rows"),
                                    source.dir().filePath(source.completeBaseName() + QStringLiteral("-refused.txt")),
                                    QStringLiteral("Text files (*.txt)"));
    if (chosen.isEmpty())
        return;
    if (Error e = writeFileAtomically(chosen, m_refusals->toPlainText().toUtf8()))
        MessageBox::show(this, kTitle, e.description, MessageBox::Icon::Critical, MessageBox::Buttons::Ok);
}
