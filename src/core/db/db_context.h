#pragma once

#include "core/db/connection_string.h"

#include <QString>

// Where the data lives: the program's directory (the embedded engine keeps its files in Data/ below it, unless
// dataFolder names another folder) and the current connection settings.
struct DbContext {
    QString programDir;
    ConnectionString connection;
    QString dataFolder = {};

    QString dataDir() const { return dataFolder.isEmpty() ? programDir + QStringLiteral("/Data") : dataFolder; }
};
