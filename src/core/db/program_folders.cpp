#include "core/db/program_folders.h"

#include "core/db/settings_file.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {
// The name the screens' program runs under, which names its application-data folder.
const QString kApplicationName = QStringLiteral("Lexorium");

// Where an installation keeps the program's own files, beside bin/; empty for a program run where it was built.
QString installedShareDir(const QString& binDir)
{
    const QString share = QDir::cleanPath(binDir + QStringLiteral("/../share/lexorium"));
    return QFileInfo(share).isDir() ? share : QString();
}
} // namespace

ProgramFolders ProgramFolders::beside(const QString& programDir)
{
    return {programDir, SettingsFile::path(programDir), DbContext{programDir, {}, {}}.dataDir()};
}

QString ProgramFolders::userDataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/') + kApplicationName;
}

bool ProgramFolders::isWritableFolder(const QString& dir)
{
    const QFileInfo info(dir);
    if (!info.isDir() || !info.isWritable() || !info.permission(QFile::WriteOwner))
        return false;
    QTemporaryFile probe(dir + QStringLiteral("/.probe-XXXXXX"));
    return probe.open();
}

ProgramFolders ProgramFolders::forProgram(const QString& binDir)
{
    return forProgram(binDir, userDataDir());
}

ProgramFolders ProgramFolders::forProgram(const QString& binDir, const QString& userData)
{
    const QString share = installedShareDir(binDir);
    ProgramFolders folders = beside(isWritableFolder(binDir) ? binDir : userData);
    folders.programDir = share.isEmpty() ? binDir : share;
    return folders;
}
