#pragma once

#include "core/db/connection_string.h"
#include "core/db/program_folders.h"

#include <QDialog>
#include <QList>

class QLayout;
class QLineEdit;
class QPushButton;

// The first screen: asks for the server login and a new database name, creates the database with its schema and
// stores the settings.
class ConnectionScreen : public QDialog
{
    Q_OBJECT

public:
    explicit ConnectionScreen(const QString& programDir, QWidget* parent = nullptr);
    // The settings file and the data folder where the folders say.
    explicit ConnectionScreen(const ProgramFolders& folders, QWidget* parent = nullptr);

signals:
    // The database and its schema exist and the settings are stored.
    void databaseCreated(const ConnectionString& connection);
    // "&Close": the program ends.
    void closeRequested();

public slots:
    // "&Close": the screen closes and the program ends.
    void onCloseClicked();
    void onOkClicked();
    void onTestConnectionClicked();

private:
    // The buttons "Cmd0007(0)".."Cmd0007(3)".
    enum Button { CloseButton = 0, HelpButton, OkButton, TestConnectionButton };

    QLayout* buildButtons();
    bool validate(bool forOk);
    // Test Connection: the login alone, naming no database of ours.
    void testConnection(class Hourglass& busy);
    // Ok: creates the database, its schema and the settings; says why not when it cannot.
    void createDatabase(class Hourglass& busy);
    ConnectionString typedSettings() const;

    ProgramFolders m_folders;
    QList<QLineEdit*> m_fields;
    QList<QPushButton*> m_buttons;
};
