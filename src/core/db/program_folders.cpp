#include "core/db/program_folders.h"

#include "core/db/settings_file.h"

ProgramFolders ProgramFolders::beside(const QString& programDir)
{
    return {programDir, SettingsFile::path(programDir), DbContext{programDir, {}, {}}.dataDir()};
}
