#include "gui/transfer/export_dialog.h"

#include "core/db/db_session.h"
#include "core/transfer/citation_transfer_export.h"
#include "gui/common/message_box.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kTitle = QStringLiteral("Export Citations");
} // namespace

ExportDialog::ExportDialog(const DbContext& ctx, const QString& fileName, const QList<qint64>& caseIds, QWidget* parent)
    : QDialog(parent)
    , m_ctx(ctx)
    , m_fileName(fileName)
    , m_caseIds(caseIds)
{
    setObjectName(QStringLiteral("ExportDialog"));
    setWindowTitle(kTitle);
    auto* layout = new QVBoxLayout(this);
    auto* file = new QLabel(QStringLiteral("Writing %1").arg(QFileInfo(fileName).fileName()), this);
    file->setToolTip(fileName);
    layout->addWidget(file);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("ExportProgress"));
    m_bar->setRange(0, 0);
    layout->addWidget(m_bar);
    m_counts = new QLabel(this);
    m_counts->setObjectName(QStringLiteral("ExportCounts"));
    layout->addWidget(m_counts);
    auto* buttons = new QDialogButtonBox(this);
    m_cancelButton = buttons->addButton(QDialogButtonBox::Cancel);
    m_cancelButton->setObjectName(QStringLiteral("ExportCancel"));
    layout->addWidget(buttons);
    disconnect(buttons, nullptr, this, nullptr);
    connect(m_cancelButton, &QPushButton::clicked, this, &ExportDialog::cancel);
    m_runner.setDelivery([this] { deliverProgress(); });
    resize(420, 120);
}

ExportDialog::~ExportDialog()
{
    m_cancel.cancel();
    m_runner.cancel();
}

void ExportDialog::start()
{
    if (m_runner.isRunning())
        return;
    m_cancel.reset();
    m_outcome.reset();
    const QString fileName = m_fileName;
    const QList<qint64> ids = m_caseIds;
    m_runner.start(
        m_ctx,
        [this, fileName, ids](DbSession& session, CancelToken&) {
            Result<qint64> outcome =
                CitationTransferExport::write(session, fileName, ids, &m_cancel, [this](qint64 written, qint64 total) {
                    m_written = written;
                    m_total = total;
                    m_runner.notify();
                });
            m_runner.post([this, outcome] { m_outcome = outcome; });
        },
        [this] { finish(); });
}

void ExportDialog::deliverProgress()
{
    const qint64 total = m_total;
    const qint64 written = m_written;
    if (total > 0) {
        m_bar->setRange(0, 100);
        m_bar->setValue(int(written * 100 / total));
    }
    const QLocale locale;
    m_counts->setText(
        QStringLiteral("%1 of %2 citations written.").arg(locale.toString(written), locale.toString(total)));
}

QString ExportDialog::outcomeText(const Result<qint64>& outcome, const QString& fileName)
{
    if (outcome)
        return QStringLiteral("%1 citations were written to %2.")
            .arg(QLocale().toString(*outcome), QDir::toNativeSeparators(fileName));
    if (outcome.error().kind == Error::Kind::Cancelled)
        return QStringLiteral("The export was cancelled; no file was written.");
    return outcome.error().description;
}

void ExportDialog::finish()
{
    emit runFinished();
    if (m_outcome) {
        const bool failed = !*m_outcome && m_outcome->error().kind != Error::Kind::Cancelled;
        MessageBox::show(this, kTitle, outcomeText(*m_outcome, m_fileName),
                         failed ? MessageBox::Icon::Critical : MessageBox::Icon::Information, MessageBox::Buttons::Ok);
    }
    QDialog::accept();
}

void ExportDialog::cancel()
{
    if (!m_runner.isRunning())
        return;
    m_cancel.cancel();
    m_counts->setText(QStringLiteral("Cancelling ..."));
}

void ExportDialog::reject()
{
    // Escape and the close button cancel; the dialog closes when the run has ended.
    if (m_runner.isRunning())
        cancel();
    else
        QDialog::reject();
}
