#include "cli/commands.h"

const QList<CliCommand>& cliCommands()
{
    static const QList<CliCommand> commands{
        {"list", "Lists every citation: id, citation, case and date of judgment.", &runListCommand},
    };
    return commands;
}
