#include "gui/common/icons.h"
#include "gui/shell/application_shell.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lexorium"));
    QApplication::setApplicationVersion(QStringLiteral(LEXORIUM_VERSION));
    // Every window's icon, and the desktop entry a desktop matches the windows with.
    QApplication::setWindowIcon(Icons::applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("org.lexorium.Lexorium"));

    ApplicationShell shell(ProgramFolders::forProgram(QCoreApplication::applicationDirPath()));
    QObject::connect(&shell, &ApplicationShell::quitRequested, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    if (!shell.start())
        return 0;
    return app.exec();
}
