#include "gui/shell/application_shell.h"

#include "gui/db/connection_screen.h"
#include "core/db/database_admin.h"
#include "core/db/settings_file.h"
#include "gui/common/hourglass.h"
#include "gui/shell/main_window.h"
#include "gui/common/message_box.h"

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

    if (SettingsFile::exists(m_programDir)) {
        ConnectionString stored;
        QString error;
        if (!SettingsFile::read(m_programDir, &stored, &error)) {
            busy.release();
            MessageBox::information(nullptr, error);
        } else {
            const DbContext ctx{m_programDir, stored};
            const DbError e = DatabaseAdmin::tryOpen(ctx);
            if (e.kind == DbError::Kind::Unreachable) {
                m_connection->close();
                busy.release();
                MessageBox::information(nullptr, QStringLiteral("Timeout occured, please try again."));
                return false;
            }
            if (e.isError()) {
                busy.release();
                MessageBox::information(nullptr, e.description);
            } else {
                if (const DbError d = DatabaseAdmin::dropTempTables(ctx)) {
                    busy.release();
                    MessageBox::information(nullptr, d.description);
                }
                openMainWindow(stored);
                return true;
            }
        }
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
