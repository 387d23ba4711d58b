#pragma once

#include "core/db/connection_string.h"

#include <QString>

// Where the data lives: the program's directory (the embedded engine keeps its files in Data/ below it)
// and the current connection settings.
struct DbContext {
    QString programDir;
    ConnectionString connection;

    QString dataDir() const { return programDir + QStringLiteral("/Data"); }
};
