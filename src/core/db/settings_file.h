#pragma once

#include "core/db/connection_string.h"

#include <QString>

// "vor_Lexorium.ini" beside the program: server, user, database and password, one per line, CRLF-ended.
class SettingsFile
{
public:
    static QString path(const QString& programDir);
    static bool exists(const QString& programDir);

    // Reads the first four lines. A file that cannot be read, has fewer than four lines or holds lines that cannot
    // be settings is an error; *error names the file and says what is wrong with it.
    static bool read(const QString& programDir, ConnectionString* settings, QString* error);

    // Writes the file anew, atomically, readable by its owner only (it holds a password). Settings that could not
    // be read back are refused, and the file is left as it was.
    static bool write(const QString& programDir, const ConnectionString& settings, QString* error);

    // Why the settings cannot be stored, as a sentence; empty when they can.
    static QString problem(const ConnectionString& settings);
};
