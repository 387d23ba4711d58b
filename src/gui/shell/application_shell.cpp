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
DatabaseSetup::Opened openStoredWithProgress(const QString& programDir)
{
    QProgressDialog progress;
    progress.setWindowTitle(applicationTitle());
    progress.setCancelButton(nullptr);
    progress.setRange(0, 0);
    progress.setMinimumDuration(0);
    progress.reset(); // hidden until a step is announced
    DatabaseSetup::Opened result;
    BackgroundRunner runner;
    runner.start([&](CancelToken&) {
        result = DatabaseSetup::openStored(programDir, [&](const QString& step) {
            runner.post([&progress, step] {
                progress.setLabelText(step);
                progress.show();
            });
        });
        if (result.outcome == DatabaseSetup::Opened::Outcome::Ready) {
            // The working databases of a synchronisation that was ended before it could drop them.
            const Error leftovers = DatabaseMerge::dropLeftovers({programDir, result.connection});
            if (!result.cleanupError)
                result.cleanupError = leftovers;
        }
    });
    runner.wait(-1, QEventLoop::ExcludeUserInputEvents);
    return result;
}
} // namespace

ApplicationShell::ApplicationShell(const QString& programDir, QObject* parent)
    : QObject(parent)
    , m_programDir(programDir)
{}

ApplicationShell::~ApplicationShell()
{
    delete m_main;
    delete m_connection;
}

bool ApplicationShell::start()
{
    Hourglass busy;
    m_connection = new ConnectionScreen(m_programDir);
    m_connection->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_connection, &ConnectionScreen::databaseCreated, this, &ApplicationShell::openMainWindow);
    connect(m_connection, &ConnectionScreen::closeRequested, this, &ApplicationShell::quitRequested);

    const DatabaseSetup::Opened opened = openStoredWithProgress(m_programDir);
    using Outcome = DatabaseSetup::Opened::Outcome;
    switch (opened.outcome) {
    case Outcome::NoSettings:
        break;
    case Outcome::Unreachable:
        m_connection->close();
        busy.release();
        // The server's own reason on a second line: a refused connection wants another remedy than a time-out.
        MessageBox::information(nullptr,
                                QStringLiteral("Timeout occured, please try again.\n") + opened.error.description);
        return false;
    case Outcome::BadSettings:
    case Outcome::Refused:
        busy.release();
        MessageBox::information(nullptr, opened.error.description);
        break;
    case Outcome::Ready:
        if (opened.cleanupError) {
            busy.release();
            MessageBox::information(nullptr, opened.cleanupError.description);
        }
        openMainWindow(opened.connection);
        return true;
    }
    m_connection->show();
    return true;
}

void ApplicationShell::openMainWindow(const ConnectionString& connection)
{
    m_main = new MainWindow({m_programDir, connection});
    m_main->setAttribute(Qt::WA_DeleteOnClose);
    // The main window replaces the connection screen.
    if (m_connection)
        m_connection->close();
    m_main->show();
}
