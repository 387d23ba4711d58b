#pragma once

#include "core/db/db_context.h"
#include "core/db/program_folders.h"
#include "gui/db/connection_screen.h"
#include "gui/shell/main_window.h"

#include <QObject>
#include <QPointer>

// From program start to the idle main window: tries the stored settings, or leaves the connection screen up.
class ApplicationShell : public QObject
{
    Q_OBJECT

public:
    explicit ApplicationShell(const QString& programDir, QObject* parent = nullptr);
    // The settings file, the data folder and the program's own files where the folders say.
    explicit ApplicationShell(const ProgramFolders& folders, QObject* parent = nullptr);
    ~ApplicationShell() override;

    // False when the program is to end at once (the stored server cannot be reached).
    bool start();

    ConnectionScreen* connectionScreen() const { return m_connection; }
    MainWindow* mainWindow() const { return m_main; }

signals:
    // The user chose to end the program from the connection screen.
    void quitRequested();

private:
    void openMainWindow(const ConnectionString& connection);

    ProgramFolders m_folders;
    QPointer<ConnectionScreen> m_connection;
    QPointer<MainWindow> m_main;
};
