#include "cli/cli_context.h"

#include "core/db/database_setup.h"
#include "core/db/db_session.h"

namespace {
const QString kSettingsOption = QStringLiteral("settings");
const QString kDataOption = QStringLiteral("data");
} // namespace

CliContext::CliContext(QTextStream& out, QTextStream& err, const ProgramFolders& folders, bool errIsTerminal)
    : m_out(out)
    , m_err(err)
    , m_folders(folders)
    , m_errIsTerminal(errIsTerminal)
{}

void CliContext::addFolderOptions(QCommandLineParser& parser)
{
    parser.addOption(
        {kSettingsOption, QStringLiteral("Read the connection settings from FILE."), QStringLiteral("FILE")});
    parser.addOption({kDataOption, QStringLiteral("Keep the embedded databases in DIR."), QStringLiteral("DIR")});
}

void CliContext::applyFolderOptions(const QCommandLineParser& parser)
{
    if (parser.isSet(kSettingsOption))
        m_folders.settingsFile = parser.value(kSettingsOption);
    if (parser.isSet(kDataOption))
        m_folders.dataDir = parser.value(kDataOption);
}

std::optional<int> CliContext::parse(QCommandLineParser& parser, const QStringList& arguments, int minPositional,
                                     int maxPositional)
{
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and stop."));
    parser.addOption(help);
    addFolderOptions(parser);
    if (!parser.parse(arguments))
        return usage(parser, parser.errorText());
    if (parser.isSet(help)) {
        m_out << parser.helpText();
        m_out.flush();
        return 0;
    }
    const int count = int(parser.positionalArguments().size());
    if (count < minPositional)
        return usage(parser, QStringLiteral("Too few arguments."));
    if (maxPositional >= 0 && count > maxPositional)
        return usage(parser, QStringLiteral("Too many arguments: %1.")
                                 .arg(parser.positionalArguments().mid(maxPositional).join(QLatin1Char(' '))));
    applyFolderOptions(parser);
    return std::nullopt;
}

Result<DbContext> CliContext::openDatabase()
{
    const Result<DatabaseSetup::Opened> opened = DatabaseSetup::openStored(m_folders);
    if (!opened)
        return opened.error();
    if (!opened->connection)
        return Error::of(Error::Kind::NotFound,
                         QStringLiteral("There is no settings file %1. Start the program once to choose a database, "
                                        "or name a settings file with --settings.")
                             .arg(m_folders.settingsFile));
    return m_folders.context(*opened->connection);
}

std::unique_ptr<DbSession> CliContext::openSession()
{
    const Result<DbContext> ctx = openDatabase();
    if (!ctx) {
        fail(ctx.error());
        return nullptr;
    }
    auto session = std::make_unique<DbSession>(*ctx);
    if (!session->isOpen()) {
        fail(session->error());
        return nullptr;
    }
    return session;
}

QString CliContext::field(const QString& value)
{
    QString flat = value;
    for (QChar& c : flat) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return flat;
}

int CliContext::fail(const Error& error)
{
    m_out.flush();
    m_err << error.description << Qt::endl;
    return 1;
}

int CliContext::usage(const QCommandLineParser& parser, const QString& why)
{
    m_out.flush();
    m_err << why << "\n\n" << parser.helpText();
    m_err.flush();
    return 2;
}
