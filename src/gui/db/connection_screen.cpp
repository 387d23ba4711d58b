#include "gui/db/connection_screen.h"

#include "core/db/connection_validation.h"
#include "core/db/database_setup.h"
#include "gui/common/hourglass.h"
#include "gui/common/icons.h"
#include "gui/common/message_box.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QString arrayName(const char* name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

// The screen's own sentence, and on a second line what the engine or the system said.
QString withCause(const QString& sentence, const Error& error)
{
    return error.description.isEmpty() ? sentence : sentence + QLatin1Char('\n') + error.description;
}
} // namespace

ConnectionScreen::ConnectionScreen(const QString& programDir, QWidget* parent)
    : ConnectionScreen(ProgramFolders::beside(programDir), parent)
{}

ConnectionScreen::ConnectionScreen(const ProgramFolders& folders, QWidget* parent)
    : QDialog(parent)
    , m_folders(folders)
{
    setObjectName(QStringLiteral("CS06000701"));
    setWindowTitle(QStringLiteral("Connection"));

    auto* frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Fra0007"));
    auto* form = new QFormLayout(frame);
    const QStringList captions{QStringLiteral("Server Name "), QStringLiteral("User Name "),
                               QStringLiteral("Database Name "), QStringLiteral("User Password "),
                               QStringLiteral("Confirm User Password ")};
    const int lengths[] = {ConnectionFields::kMaxServer, ConnectionFields::kMaxUser, ConnectionFields::kMaxDatabase,
                           ConnectionFields::kMaxPassword, ConnectionFields::kMaxPassword};
    for (int i = 0; i < captions.size(); ++i) {
        auto* label = new QLabel(captions[i], frame);
        label->setObjectName(arrayName("Lbl0003", i + 1));
        auto* edit = new QLineEdit(frame);
        edit->setObjectName(arrayName("Txt0007", i));
        edit->setMaxLength(lengths[i]);
        edit->setMinimumWidth(220);
        if (i >= 3)
            edit->setEchoMode(QLineEdit::Password);
        label->setBuddy(edit);
        form->addRow(label, edit);
        m_fields << edit;
    }
    m_fields[0]->setPlaceholderText(QStringLiteral("(local) = this computer"));
    m_fields[0]->setToolTip(QStringLiteral("Type (local) to keep the database on this computer, or the name of a "
                                           "PostgreSQL server as host or host:port."));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buildButtons());
    setTabOrder(m_fields[0], m_fields[1]);
    setTabOrder(m_fields[1], m_fields[2]);
    setTabOrder(m_fields[2], m_fields[3]);
    setTabOrder(m_fields[3], m_fields[4]);
    // Then the buttons as they stand, left to right.
    setTabOrder(m_fields[4], m_buttons[TestConnectionButton]);
    setTabOrder(m_buttons[TestConnectionButton], m_buttons[OkButton]);
    setTabOrder(m_buttons[OkButton], m_buttons[CloseButton]);
    setTabOrder(m_buttons[CloseButton], m_buttons[HelpButton]);
}

QLayout* ConnectionScreen::buildButtons()
{
    struct ButtonText {
        QString caption;
        QString tip;
    };
    const QList<ButtonText> buttons{{QStringLiteral("&Close"), QStringLiteral("Close")},
                                    {QString(), QStringLiteral("Help")},
                                    {QStringLiteral("&Ok"), QStringLiteral("Ok")},
                                    {QStringLiteral("&Test Connection..."), QStringLiteral("Test Connection")}};
    for (int i = 0; i < buttons.size(); ++i) {
        auto* b = new QPushButton(buttons[i].caption, this);
        b->setObjectName(arrayName("Cmd0007", i));
        b->setToolTip(buttons[i].tip);
        b->setAutoDefault(false);
        m_buttons << b;
    }
    connect(m_buttons[CloseButton], &QPushButton::clicked, this, &ConnectionScreen::onCloseClicked);
    // The connection screen has no help topic: its help button does nothing.
    connect(m_buttons[OkButton], &QPushButton::clicked, this, &ConnectionScreen::onOkClicked);
    connect(m_buttons[TestConnectionButton], &QPushButton::clicked, this, &ConnectionScreen::onTestConnectionClicked);
    m_buttons[HelpButton]->setIcon(Icons::icon(QStringLiteral("help")));
    m_buttons[OkButton]->setDefault(true);
    auto* row = new QHBoxLayout;
    row->addWidget(m_buttons[TestConnectionButton]);
    row->addStretch();
    row->addWidget(m_buttons[OkButton]);
    row->addWidget(m_buttons[CloseButton]);
    row->addWidget(m_buttons[HelpButton]);
    return row;
}

ConnectionString ConnectionScreen::typedSettings() const
{
    return ConnectionString::trimmed(m_fields[0]->text(), m_fields[1]->text(), m_fields[2]->text(),
                                     m_fields[3]->text());
}

bool ConnectionScreen::validate(bool forOk)
{
    const ConnectionFields f{m_fields[0]->text(), m_fields[1]->text(), m_fields[2]->text(), m_fields[3]->text(),
                             m_fields[4]->text()};
    const QString failure = ConnectionValidation::firstFailure(f, forOk ? ConnectionValidation::Purpose::Ok
                                                                        : ConnectionValidation::Purpose::Test);
    if (failure.isEmpty())
        return true;
    MessageBox::information(this, failure);
    return false;
}

void ConnectionScreen::onCloseClicked()
{
    Hourglass busy;
    close();
    emit closeRequested();
}

void ConnectionScreen::onOkClicked()
{
    Hourglass busy;
    if (validate(true))
        createDatabase(busy);
}

void ConnectionScreen::onTestConnectionClicked()
{
    Hourglass busy;
    if (validate(false))
        testConnection(busy);
}

void ConnectionScreen::testConnection(Hourglass& busy)
{
    const Error failed = DatabaseSetup::testConnection(m_folders.programDir, typedSettings());
    busy.release();
    MessageBox::information(this, failed.isError() ? withCause(QStringLiteral("Connection failed."), failed)
                                                   : QStringLiteral("Connection successful."));
}

void ConnectionScreen::createDatabase(Hourglass& busy)
{
    const ConnectionString settings = typedSettings();
    const DatabaseSetup::Created created = DatabaseSetup::createNew(m_folders, settings);
    busy.release();
    using Failure = DatabaseSetup::Created::Failure;
    switch (created.failure) {
    case Failure::None:
        emit databaseCreated(settings);
        return;
    case Failure::Login:
        MessageBox::information(this,
                                withCause(QStringLiteral("Please enter the correct information."), created.error));
        return;
    case Failure::CreateDatabase:
        MessageBox::information(this, created.error.kind == Error::Kind::AlreadyExists
                                          ? QStringLiteral("Database already exists.")
                                          : created.error.description);
        MessageBox::information(this, QStringLiteral("Can not create database"));
        return;
    case Failure::Schema:
    case Failure::Settings:
        MessageBox::information(this, created.error.description);
        return;
    }
}
