#pragma once

#include <QList>
#include <QStringList>

class CliContext;

// One command of lexorium-cli. run gets the command's own arguments, its name first, and returns the exit
// status: 0 done, 1 failed (said on stderr), 2 bad arguments (the usage printed).
struct CliCommand {
    const char* name;
    const char* summary;
    int (*run)(CliContext& context, const QStringList& arguments);
};

// Every command, in the order the usage lists them.
const QList<CliCommand>& cliCommands();

int runListCommand(CliContext& context, const QStringList& arguments);
int runImportCommand(CliContext& context, const QStringList& arguments);
int runExportAllCommand(CliContext& context, const QStringList& arguments);
int runExportCommand(CliContext& context, const QStringList& arguments);
int runSearchCommand(CliContext& context, const QStringList& arguments);
int runMergeCommand(CliContext& context, const QStringList& arguments);
int runBackupCommand(CliContext& context, const QStringList& arguments);
int runRestoreCommand(CliContext& context, const QStringList& arguments);
int runCheckCommand(CliContext& context, const QStringList& arguments);
