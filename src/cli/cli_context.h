#pragma once

#include "core/db/db_context.h"
#include "core/db/program_folders.h"
#include "core/util/error.h"
#include "core/util/result.h"

#include <QCommandLineParser>
#include <QTextStream>

#include <memory>
#include <optional>

class DbSession;

// What every command is given: where the settings and data are, the two output streams, and the common ways to
// read arguments, open the database and fail.
class CliContext
{
public:
    CliContext(QTextStream& out, QTextStream& err, const ProgramFolders& folders, bool errIsTerminal);

    QTextStream& out() { return m_out; }
    QTextStream& err() { return m_err; }
    const ProgramFolders& folders() const { return m_folders; }
    // Whether a progress bar may be drawn on stderr.
    bool errIsTerminal() const { return m_errIsTerminal; }

    // The folder options every command takes, besides its own.
    static void addFolderOptions(QCommandLineParser& parser);
    // Takes --settings and --data from a parsed command line.
    void applyFolderOptions(const QCommandLineParser& parser);

    // Parses a command's arguments (its name first) with the parser the command has filled, after adding --help
    // and the folder options. Nothing when the command may go on; otherwise its exit status: 0 after --help, 2
    // after arguments it cannot take (the usage printed on stderr).
    std::optional<int> parse(QCommandLineParser& parser, const QStringList& arguments, int minPositional,
                             int maxPositional);

    // Opens the database the settings file names, as the program does at start-up (an older schema is brought up
    // to date first).
    Result<DbContext> openDatabase();
    // A session on that database; null after saying on stderr why there is none (the command then ends with 1).
    std::unique_ptr<DbSession> openSession();

    // A value as one field of a tab-separated line: tabs and line breaks become spaces.
    static QString field(const QString& value);

    // Says on stderr why the command failed; the exit status for it.
    int fail(const Error& error);
    // Says on stderr what is wrong with the arguments, then the usage; the exit status for it.
    int usage(const QCommandLineParser& parser, const QString& why);

private:
    QTextStream& m_out;
    QTextStream& m_err;
    ProgramFolders m_folders;
    bool m_errIsTerminal;
};
