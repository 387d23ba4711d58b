#include "gui/shell/application_shell.h"

#include "core/db/database_setup.h"
#include "core/shell/app_info.h"
#include "core/sync/database_merge.h"
#include "gui/common/background_runner.h"
#include "gui/common/hourglass.h"
#include "gui/common/message_box.h"
#include "gui/db/connection_screen.h"
#include "gui/shell/main_window.h"

#include <QProgressDialog>

namespace {
// Opening may upgrade an older database, which builds indexes; it runs beside the interface so that the steps
// can be shown and the window stays alive.
Result<DatabaseSetup::Opened> openStoredWithProgress(const ProgramFolders& folders)
{
    QProgressDialog progress;
    progress.setWindowTitle(applicationTitle());
    progress.setCancelButton(nullptr);
    progress.setRange(0, 0);
    progress.setMinimumDuration(0);
    // A step at 100 stays shown until the next one is announced.
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.reset(); // hidden until a step is announced
    Result<DatabaseSetup::Opened> result = DatabaseSetup::Opened();
    BackgroundRunner runner;
    runner.start([&](CancelToken&) {
        result = DatabaseSetup::openStored(
            folders,
            [&](const QString& step) {
                runner.post([&progress, step] {
                    // Moving until the step says how far it has come.
                    progress.setRange(0, 0);
                    progress.setLabelText(step);
                    progress.show();
                });
            },
            [&](int percent) {
                runner.post([&progress, percent] {
                    progress.setRange(0, 100);
                    progress.setValue(percent);
                });
            });
        if (result && result->connection) {
            // The working databases of a synchronisation that was ended before it could drop them.
            const Error leftovers = DatabaseMerge::dropLeftovers(folders.context(*result->connection));
            if (!result->cleanupError)
                result->cleanupError = leftovers;
        }
    });
    runner.wait(-1, QEventLoop::ExcludeUserInputEvents);
    return result;
}
} // namespace

ApplicationShell::ApplicationShell(const QString& programDir, QObject* parent)
    : ApplicationShell(ProgramFolders::beside(programDir), parent)
{}

ApplicationShell::ApplicationShell(const ProgramFolders& folders, QObject* parent)
    : QObject(parent)
    , m_folders(folders)
{}

ApplicationShell::~ApplicationShell()
{
    delete m_main;
    delete m_connection;
}

bool ApplicationShell::start()
{
    Hourglass busy;
    m_connection = new ConnectionScreen(m_folders);
    m_connection->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_connection, &ConnectionScreen::databaseCreated, this, &ApplicationShell::openMainWindow);
    connect(m_connection, &ConnectionScreen::closeRequested, this, &ApplicationShell::quitRequested);

    const Result<DatabaseSetup::Opened> opened = openStoredWithProgress(m_folders);
    if (!opened) {
        const Error& error = opened.error();
        if (error.kind == Error::Kind::Unreachable) {
            m_connection->close();
            busy.release();
            // The server's own reason on a second line: a refused connection wants another remedy than a time-out.
            MessageBox::information(nullptr,
                                    QStringLiteral("Timeout occured, please try again.\n") + error.description);
            return false;
        }
        // The settings or the database cannot be used: the connection screen, to put them right.
        busy.release();
        MessageBox::information(nullptr, error.description);
    } else if (opened->connection) {
        if (opened->cleanupError) {
            busy.release();
            MessageBox::information(nullptr, opened->cleanupError.description);
        }
        openMainWindow(*opened->connection);
        return true;
    }
    m_connection->show();
    return true;
}

void ApplicationShell::openMainWindow(const ConnectionString& connection)
{
    m_main = new MainWindow(m_folders.context(connection));
    m_main->setAttribute(Qt::WA_DeleteOnClose);
    // The main window replaces the connection screen.
    if (m_connection)
        m_connection->close();
    m_main->show();
}
