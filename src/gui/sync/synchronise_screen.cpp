#include "gui/sync/synchronise_screen.h"

#include "core/backup/automatic_backups.h"
#include "core/db/db_session.h"
#include "gui/common/file_dialog.h"
#include "gui/common/hourglass.h"
#include "gui/common/icons.h"
#include "gui/common/message_box.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

const QString SynchroniseScreen::kEntriesError = QStringLiteral("Error in entries, can not synchronize database.");
const QString SynchroniseScreen::kMerged = QStringLiteral("Mergerd database successfully.");
const QString SynchroniseScreen::kBrowseCaption = QStringLiteral("Database to synchronise with");
const QString SynchroniseScreen::kBrowseFilter = QStringLiteral("Lexorium database (*.db)");
const QString SynchroniseScreen::kBackupFailed =
    QStringLiteral("The database could not be backed up before the synchronisation, so nothing was merged: %1");

SynchroniseScreen::SynchroniseScreen(const DbContext& ctx, QWidget* parent)
    : QDialog(parent)
    , m_ctx(ctx)
    , m_now([] { return QDateTime::currentDateTime(); })
{
    m_helpHandler = ScreenHooks::helpViewer(m_help);
    setObjectName(QStringLiteral("CS06000901"));
    setWindowTitle(QStringLiteral(" Synchronisation "));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildEntries());
    layout->addWidget(buildProgress());
    layout->addLayout(buildButtons());
    setTabOrders();
    updateCommands();
}

SynchroniseScreen::~SynchroniseScreen()
{
    // The run owns connections of its own thread; it must end before the screen goes.
    m_runner.cancel();
}

QLineEdit* SynchroniseScreen::addBox(QGridLayout* grid, int box, int row)
{
    auto* b = new QLineEdit(grid->parentWidget());
    b->setObjectName(QStringLiteral("Txt0009(%1)").arg(box));
    connect(b, &QLineEdit::textChanged, this, &SynchroniseScreen::updateCommands);
    m_boxes << b;
    grid->addWidget(b, row, 1);
    return b;
}

QFrame* SynchroniseScreen::buildEntries()
{
    auto* outer = new QFrame(this);
    outer->setObjectName(QStringLiteral("Fra0009(0)"));
    outer->setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(outer);
    auto label = [&](int index, const QString& caption) {
        auto* l = new QLabel(caption, outer);
        l->setObjectName(QStringLiteral("Lbl0009(%1)").arg(index));
        return l;
    };
    grid->addWidget(label(0, QStringLiteral("Present Database ")), 0, 0);
    QLineEdit* present = addBox(grid, PresentBox, 0);
    present->setReadOnly(true);
    present->setText(m_ctx.connection.database.trimmed());
    grid->addWidget(label(1, QStringLiteral(" Database to synchronise with")), 1, 0, 1, 2);
    const struct {
        int label;
        const char* caption;
    } rows[] = {{2, "Server Name"}, {3, "Database Name "}, {5, "User Name "}, {6, "Password"}};
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(label(rows[i].label, QLatin1String(rows[i].caption)), i + 2, 0);
        addBox(grid, i + 1, i + 2);
    }
    m_boxes[PasswordBox]->setEchoMode(QLineEdit::Password);
    // A colleague's embedded database is a file wherever it was copied to.
    m_browse = new QPushButton(QStringLiteral("Browse..."), outer);
    m_browse->setObjectName(QStringLiteral("BrowseDatabase"));
    m_browse->setToolTip(QStringLiteral("Choose the database file"));
    m_browse->setAutoDefault(false);
    connect(m_browse, &QPushButton::clicked, this, &SynchroniseScreen::browseDatabase);
    grid->addWidget(m_browse, 3, 2);
    return outer;
}

QFrame* SynchroniseScreen::buildProgress()
{
    m_progressFrame = new QFrame(this);
    m_progressFrame->setObjectName(QStringLiteral("Fra0009(1)"));
    m_progressFrame->setFrameShape(QFrame::StyledPanel);
    auto* progress = new QVBoxLayout(m_progressFrame);
    m_status = new QLabel(QStringLiteral("Synchronisation"), m_progressFrame);
    m_status->setObjectName(QStringLiteral("Lbl0009(4)"));
    m_bar = new QProgressBar(m_progressFrame);
    m_bar->setObjectName(QStringLiteral("PB0009"));
    m_bar->setRange(0, 100);
    progress->addWidget(m_status);
    progress->addWidget(m_bar);
    m_progressFrame->setVisible(false);
    return m_progressFrame;
}

QLayout* SynchroniseScreen::buildButtons()
{
    m_helpButton = new QPushButton(this);
    m_helpButton->setObjectName(QStringLiteral("Cmd0009(0)"));
    m_helpButton->setIcon(Icons::icon(QStringLiteral("help")));
    m_closeButton = new QPushButton(QStringLiteral("&Close"), this);
    m_closeButton->setObjectName(QStringLiteral("Cmd0009(1)"));
    m_closeButton->setToolTip(QStringLiteral("Close"));
    m_syncButton = new QPushButton(QStringLiteral("&Synchronisation"), this);
    m_syncButton->setObjectName(QStringLiteral("Cmd0009(2)"));
    m_syncButton->setToolTip(QStringLiteral("Syncronization"));
    for (QPushButton* button : {m_helpButton, m_closeButton, m_syncButton})
        button->setAutoDefault(false);
    connect(m_helpButton, &QPushButton::clicked, this, &SynchroniseScreen::showHelp);
    connect(m_closeButton, &QPushButton::clicked, this, &SynchroniseScreen::closeScreen);
    connect(m_syncButton, &QPushButton::clicked, this, &SynchroniseScreen::synchronise);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_helpButton);
    buttons->addStretch();
    buttons->addWidget(m_syncButton);
    buttons->addWidget(m_closeButton);
    return buttons;
}

void SynchroniseScreen::setTabOrders()
{
    setTabOrder(m_boxes[PresentBox], m_boxes[ServerBox]);
    setTabOrder(m_boxes[ServerBox], m_boxes[DatabaseBox]);
    setTabOrder(m_boxes[DatabaseBox], m_boxes[UserBox]);
    setTabOrder(m_boxes[UserBox], m_boxes[PasswordBox]);
    setTabOrder(m_boxes[PasswordBox], m_helpButton);
    setTabOrder(m_helpButton, m_syncButton);
    setTabOrder(m_syncButton, m_closeButton);
    setTabOrder(m_closeButton, m_browse);
}

void SynchroniseScreen::updateCommands()
{
    if (!m_syncButton || isRunning())
        return;
    bool filled = true;
    for (int i = ServerBox; i <= PasswordBox && i < m_boxes.size(); ++i)
        filled = filled && !m_boxes[i]->text().trimmed().isEmpty();
    m_syncButton->setEnabled(filled && m_boxes.size() > PasswordBox);
    if (m_browse)
        m_browse->setEnabled(ConnectionString{m_boxes[ServerBox]->text(), {}, {}, {}}.isEmbedded());
}

void SynchroniseScreen::browseDatabase()
{
    if (isRunning() || !m_browse->isEnabled())
        return;
    const QString chosen = FileDialog::getOpenFileName(this, kBrowseCaption, m_ctx.dataDir(), kBrowseFilter);
    if (!chosen.isEmpty())
        m_boxes[DatabaseBox]->setText(QDir::cleanPath(QFileInfo(chosen).absoluteFilePath()));
}

void SynchroniseScreen::showHelp()
{
    m_helpHandler(this, m_ctx.programDir, kHelpContext);
}

void SynchroniseScreen::closeScreen()
{
    if (!isRunning())
        accept();
}

void SynchroniseScreen::reject()
{
    // Escape or the window's close box during a run would leave the run without its screen.
    if (!isRunning())
        QDialog::reject();
}

void SynchroniseScreen::setButtonsEnabled(bool enabled)
{
    m_closeButton->setEnabled(enabled);
    m_syncButton->setEnabled(enabled);
    m_browse->setEnabled(enabled);
    if (enabled)
        updateCommands();
}

void SynchroniseScreen::synchronise()
{
    if (isRunning() || !m_syncButton->isEnabled())
        return;
    m_busy = std::make_unique<Hourglass>();
    m_merge =
        std::make_unique<DatabaseMerge>(m_ctx, MergeSource{m_boxes[ServerBox]->text(), m_boxes[DatabaseBox]->text(),
                                                           m_boxes[UserBox]->text(), m_boxes[PasswordBox]->text()});
    if (m_merge->isSameDatabase()) {
        m_busy.reset();
        MessageBox::information(this, DatabaseMerge::kSameDatabase);
        m_merge.reset();
        return;
    }
    if (m_mergeHook)
        m_mergeHook(*m_merge);
    m_status->setVisible(true);
    m_bar->setVisible(true);
    m_progressFrame->setVisible(true);
    setButtonsEnabled(false);

    m_merge->setProgress(
        [this](const QString& status, int bar) { m_runner.post([this, status, bar] { showProgress(status, bar); }); });
    DatabaseMerge* merge = m_merge.get();
    const QDateTime at = m_now();
    m_backupFile.clear();
    // The merge opens and closes every session it needs itself, and has no point at which to stop.
    m_runner.start(
        [this, merge, at](CancelToken&) {
            // The database as it was, kept before anything of the run is written.
            {
                DbSession present(m_ctx);
                const Result<QString> backup = AutomaticBackups::make(present, at);
                if (!backup) {
                    m_result =
                        Error{backup.error().kind, backup.error().code, kBackupFailed.arg(backup.error().description)};
                    return;
                }
                m_backupFile = *backup;
            }
            m_result = merge->run();
        },
        [this] { finish(); });
}

void SynchroniseScreen::showProgress(const QString& status, int bar)
{
    m_status->setText(status);
    m_bar->setValue(bar);
}

void SynchroniseScreen::finish()
{
    m_merge.reset();
    m_busy.reset();
    setButtonsEnabled(true);
    showOutcome(m_result);
    emit runFinished();
}

void SynchroniseScreen::showOutcome(const Result<DatabaseMerge::Summary>& result)
{
    if (!result) {
        // The status and bar stay where the run stopped.
        MessageBox::information(this, result.error().description);
        return;
    }
    const DatabaseMerge::Summary& r = *result;
    switch (r.outcome) {
    case DatabaseMerge::Outcome::Merged:
        m_progressFrame->setVisible(false);
        MessageBox::information(this, kMerged + QLatin1Char('\n') + AutomaticBackups::madeBeforeMerge(m_backupFile));
        break;
    case DatabaseMerge::Outcome::LoginFailed:
        MessageBox::information(this, r.message);
        MessageBox::information(this, kEntriesError);
        m_status->setVisible(false);
        m_bar->setVisible(false);
        break;
    case DatabaseMerge::Outcome::NotMatching:
        MessageBox::information(this, r.message);
        m_status->setVisible(false);
        m_bar->setVisible(false);
        break;
    case DatabaseMerge::Outcome::SameDatabase:
        // Found out only once the engines were asked: the screen as it was before the run.
        m_progressFrame->setVisible(false);
        MessageBox::information(this, r.message);
        break;
    }
}
