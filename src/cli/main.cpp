#include "cli/cli_context.h"
#include "cli/commands.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

namespace {
QString programHelp(const QCommandLineParser& parser)
{
    QString text = parser.helpText();
    text += QStringLiteral("\nCommands:\n");
    for (const CliCommand& command : cliCommands())
        text += QStringLiteral("  %1%2\n")
                    .arg(QString::fromLatin1(command.name), -16)
                    .arg(QString::fromLatin1(command.summary));
    text += QStringLiteral("\n'lexorium-cli COMMAND --help' tells what a command takes.\n");
    return text;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lexorium-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LEXORIUM_VERSION));

    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Lexorium's citations from a terminal."));
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and stop."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version and stop."));
    parser.addOption(help);
    parser.addOption(version);
    CliContext::addFolderOptions(parser);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do (see Commands below)."),
                                 QStringLiteral("COMMAND [ARGUMENTS]"));

    CliContext context(out, err, ProgramFolders::forProgram(QCoreApplication::applicationDirPath()),
                       ::isatty(::fileno(stderr)) != 0);
    if (!parser.parse(QCoreApplication::arguments())) {
        err << parser.errorText() << "\n\n" << programHelp(parser);
        return 2;
    }
    if (parser.isSet(help)) {
        out << programHelp(parser);
        return 0;
    }
    if (parser.isSet(version)) {
        out << QCoreApplication::applicationName() << ' ' << QCoreApplication::applicationVersion() << '\n';
        return 0;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        err << "No command given.\n\n" << programHelp(parser);
        return 2;
    }
    context.applyFolderOptions(parser);
    for (const CliCommand& command : cliCommands()) {
        if (positional.first() == QLatin1String(command.name)) {
            QStringList arguments = positional;
            arguments.first() = QCoreApplication::applicationName() + QLatin1Char(' ') + positional.first();
            return command.run(context, arguments);
        }
    }
    err << "Unknown command: " << positional.first() << "\n\n" << programHelp(parser);
    return 2;
}
