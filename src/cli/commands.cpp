#include "cli/commands.h"

const QList<CliCommand>& cliCommands()
{
    static const QList<CliCommand> commands{
        {"list", "Lists every citation: id, citation, case and date of judgment.", &runListCommand},
        {"backup", "Backs the database up into a file that restore takes on either engine.", &runBackupCommand},
        {"restore", "Copies a backup into the database (--force to replace what it holds).", &runRestoreCommand},
        {"check", "Checks the database and prints each problem (--repair mends the search index and texts).",
         &runCheckCommand},
    };
    return commands;
}
