#pragma once

#include "core/db/db_context.h"

#include <QString>

// Where the program keeps what it writes: its settings file and the folder of its embedded databases; and where it
// reads its own files (help, accessories) from. Both lie beside the program unless told otherwise (a terminal
// command's --settings and --data), or unless the program's folder cannot be written (an installed program): then
// they lie in the user's own application-data folder. The choice is made here once, for the screens and the
// terminal program alike.
struct ProgramFolders {
    QString programDir;
    QString settingsFile;
    QString dataDir;

    static ProgramFolders beside(const QString& programDir);
    // For the program started from `binDir`: what it writes beside it when the folder can be written, else in
    // userDataDir(). Its own files are read from share/lexorium beside bin/ when it was installed so.
    static ProgramFolders forProgram(const QString& binDir);
    // The same with the user's application-data folder given.
    static ProgramFolders forProgram(const QString& binDir, const QString& userData);
    // The user's application-data folder of the program (~/.local/share/Lexorium), the same for the screens and the
    // terminal program.
    static QString userDataDir();
    // Whether the program may write into the folder: the user may, and the folder is not marked read-only for its
    // owner (which also holds for the administrator, whom the system lets write anywhere).
    static bool isWritableFolder(const QString& dir);

    DbContext context(const ConnectionString& connection) const { return {programDir, connection, dataDir}; }
};
