#pragma once

#include "core/db/db_context.h"

#include <QString>

// Where the program keeps what it writes: its settings file and the folder of its embedded databases. Both lie
// beside the program unless told otherwise (a terminal command's --settings and --data).
struct ProgramFolders {
    QString programDir;
    QString settingsFile;
    QString dataDir;

    static ProgramFolders beside(const QString& programDir);
    DbContext context(const ConnectionString& connection) const { return {programDir, connection, dataDir}; }
};
