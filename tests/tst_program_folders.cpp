// Where the program writes: beside itself when its folder may be written, in the user's application-data folder
// when not (an installed program), with its own files read from where the installation put them.
#include "core/db/database_setup.h"
#include "core/db/program_folders.h"
#include "core/db/settings_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

class TstProgramFolders : public QObject
{
    Q_OBJECT

private slots:
    void choosesWhereToWrite_data();
    void choosesWhereToWrite();
    void readOnlyProgramStillSavesItsSettings();
};

void TstProgramFolders::choosesWhereToWrite_data()
{
    QTest::addColumn<bool>("writable");
    QTest::addColumn<bool>("installed");
    QTest::newRow("unpacked, writable") << true << false;
    QTest::newRow("unpacked, read-only") << false << false;
    QTest::newRow("installed, writable") << true << true;
    QTest::newRow("installed, read-only") << false << true;
}

void TstProgramFolders::choosesWhereToWrite()
{
    QFETCH(bool, writable);
    QFETCH(bool, installed);
    QTemporaryDir root;
    const QString bin = root.filePath(QStringLiteral("bin"));
    const QString share = root.filePath(QStringLiteral("share/lexorium"));
    const QString user = root.filePath(QStringLiteral("home/.local/share/Lexorium"));
    QVERIFY(QDir().mkpath(bin));
    if (installed)
        QVERIFY(QDir().mkpath(share));
    if (!writable)
        QVERIFY(QFile::setPermissions(bin, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    const auto restore =
        qScopeGuard([&] { QFile::setPermissions(bin, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });

    QCOMPARE(ProgramFolders::isWritableFolder(bin), writable);
    const ProgramFolders folders = ProgramFolders::forProgram(bin, user);
    const QString writes = writable ? bin : user;
    QCOMPARE(folders.settingsFile, writes + QStringLiteral("/vor_Lexorium.ini"));
    QCOMPARE(folders.dataDir, writes + QStringLiteral("/Data"));
    QCOMPARE(folders.programDir, installed ? QDir::cleanPath(share) : bin);
    // No probe file is left behind.
    QCOMPARE(QDir(bin).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TstProgramFolders::readOnlyProgramStillSavesItsSettings()
{
    QTemporaryDir root;
    const QString bin = root.filePath(QStringLiteral("bin"));
    const QString user = root.filePath(QStringLiteral("user/Lexorium"));
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(QFile::setPermissions(bin, QFile::ReadOwner | QFile::ExeOwner));
    const auto restore =
        qScopeGuard([&] { QFile::setPermissions(bin, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
    const ProgramFolders folders = ProgramFolders::forProgram(bin, user);

    const ConnectionString settings{QStringLiteral("(local)"), QStringLiteral("me"), QStringLiteral("LawDB"),
                                    QStringLiteral("pw")};
    const DatabaseSetup::Created created = DatabaseSetup::createNew(folders, settings);
    QVERIFY2(created.ok(), qPrintable(created.error.description));
    QVERIFY(QFileInfo::exists(user + QStringLiteral("/vor_Lexorium.ini")));
    QVERIFY(QFileInfo::exists(user + QStringLiteral("/Data/LawDB.db")));
    QVERIFY(!QFileInfo::exists(bin + QStringLiteral("/vor_Lexorium.ini")));

    // The next start finds them there.
    const Result<DatabaseSetup::Opened> opened = DatabaseSetup::openStored(ProgramFolders::forProgram(bin, user));
    QVERIFY2(opened, qPrintable(opened ? QString() : opened.error().description));
    QVERIFY(opened->connection);
    QCOMPARE(opened->connection->database, QStringLiteral("LawDB"));
}

QTEST_GUILESS_MAIN(TstProgramFolders)
#include "tst_program_folders.moc"
