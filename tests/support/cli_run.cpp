#include "support/cli_run.h"

#include "core/db/settings_file.h"
#include "support/test_database.h"
#include "support/test_paths.h"

#include <QProcess>

CliRun runCli(const QStringList& arguments, const QByteArray& input)
{
    QProcess process;
    process.start(builtProgramDir() + QStringLiteral("/lexorium-cli"), arguments);
    CliRun run;
    if (!process.waitForStarted(10000)) {
        run.err = process.errorString();
        return run;
    }
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(600000);
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

CliRun runCliOn(const TestDatabase& database, const QStringList& arguments)
{
    const QString settings = database.programDir() + QStringLiteral("/cli-settings.ini");
    if (Error e = SettingsFile::writeFile(settings, database.ctx().connection))
        return {-1, {}, e.description};
    return runCli(
        QStringList{QStringLiteral("--settings"), settings, QStringLiteral("--data"), database.ctx().dataDir()} +
        arguments);
}
