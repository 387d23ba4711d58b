#include "gui/shell/application_shell.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lexorium"));
    QApplication::setApplicationVersion(QStringLiteral(LEXORIUM_VERSION));

    ApplicationShell shell(ProgramFolders::forProgram(QCoreApplication::applicationDirPath()));
    QObject::connect(&shell, &ApplicationShell::quitRequested, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    if (!shell.start())
        return 0;
    return app.exec();
}
