#include "cli/commands.h"

const QList<CliCommand>& cliCommands()
{
    static const QList<CliCommand> commands{
        {"list", "Lists every citation: id, citation, case and date of judgment.", &runListCommand},
        {"import", "Imports citations from a .csv, .xlsx or CSL-JSON file.", &runImportCommand},
        {"export-all", "Writes every citation to a .csv, .xlsx or CSL-JSON file.", &runExportAllCommand},
        {"export", "Writes one citation to a .txt, .xls or .xlsx file, as Save Report does.", &runExportCommand},
        {"search", "Finds the citations holding a text, as Find Citation does.", &runSearchCommand},
        {"merge", "Merges a second database into this one, as Synchronisation does.", &runMergeCommand},
        {"backup", "Backs the database up into a file that restore takes on either engine.", &runBackupCommand},
        {"restore", "Copies a backup into the database (--force to replace what it holds).", &runRestoreCommand},
        {"check", "Checks the database and prints each problem (--repair mends the search index and texts).",
         &runCheckCommand},
    };
    return commands;
}
