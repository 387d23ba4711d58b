#pragma once

#include "core/db/connection_string.h"
#include "core/util/result.h"

#include <QString>

// "vor_Lexorium.ini" beside the program: server, user, database and password, one per line, CRLF-ended.
class SettingsFile
{
public:
    static QString path(const QString& programDir);
    static bool exists(const QString& programDir);

    // Reads the first four lines. A file that cannot be read, has fewer than four lines or holds lines that cannot
    // be settings is an error of kind Io (NotFound when there is no file); it names the file and says what is wrong
    // with it.
    static Result<ConnectionString> read(const QString& programDir);
    // The same for a settings file of any name.
    static Result<ConnectionString> readFile(const QString& fileName);

    // Writes the file anew, atomically, readable by its owner only (it holds a password). Settings that could not
    // be read back are refused (kind Other), and the file is left as it was; a file that cannot be written is Io.
    static Error write(const QString& programDir, const ConnectionString& settings);
    static Error writeFile(const QString& fileName, const ConnectionString& settings);

    // Why the settings cannot be stored, as a sentence; empty when they can.
    static QString problem(const ConnectionString& settings);
};
