#pragma once

#include "core/db/connection_string.h"

#include <QString>

// "vor_Lexorium.ini" beside the program: server, user, database and password, one per line, CRLF-ended.
class SettingsFile
{
public:
    static QString path(const QString& programDir);
    static bool exists(const QString& programDir);

    // Reads the first four lines. Fewer than four is an error, described in *error.
    static bool read(const QString& programDir, ConnectionString* settings, QString* error);

    // Writes the file anew, atomically, readable by its owner only (it holds a password).
    static bool write(const QString& programDir, const ConnectionString& settings, QString* error);
};
