#pragma once

#include "db/connection_screen.h"
#include "db/db_context.h"
#include "shell/main_window.h"

#include <QObject>
#include <QPointer>

// From program start to the idle main window: tries the stored settings, or leaves the connection screen up.
class ApplicationShell : public QObject
{
    Q_OBJECT

public:
    explicit ApplicationShell(const QString& programDir, QObject* parent = nullptr);
    ~ApplicationShell() override;

    // False when the program is to end at once (the stored server cannot be reached).
    bool start();

    CS06000701* connectionScreen() const { return m_connection; }
    CS06000101* mainWindow() const { return m_main; }

signals:
    // The user chose to end the program from the connection screen.
    void quitRequested();

private:
    void openMainWindow(const ConnectionString& connection);

    QString m_programDir;
    QPointer<CS06000701> m_connection;
    QPointer<CS06000101> m_main;
};
