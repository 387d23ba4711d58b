#include "core/db/connection_string.h"
#include "core/db/connection_validation.h"
#include "core/db/settings_file.h"
#include "core/db/shared_data.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void writesFourTrimmedCrlfLines();
    void secondSaveReplacesTheFirst();
    void readsOnlyTheFirstFourLines();
    void fewerThanFourLinesIsAnError();
    void passwordWithSemicolonAndQuoteRoundTrips();
    void fileIsReadableByOwnerOnly();
    void embeddedServerName_data();
    void embeddedServerName();
    void hostAndPort();
    void validation_data();
    void validation();
    void exportFileNameIsAbsolute();
};

void TestSettings::writesFourTrimmedCrlfLines()
{
    QTemporaryDir dir;
    QString error;
    QVERIFY(SettingsFile::write(
        dir.path(),
        {QStringLiteral(" (local) "), QStringLiteral("sa "), QStringLiteral(" Law"), QStringLiteral(" pw ")}, &error));
    QFile f(SettingsFile::path(dir.path()));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("(local)\r\nsa\r\nLaw\r\npw\r\n"));
    QVERIFY(SettingsFile::path(dir.path()).endsWith(QLatin1String("/vor_Lexorium.ini")));
}

void TestSettings::secondSaveReplacesTheFirst()
{
    QTemporaryDir dir;
    QString error;
    QVERIFY(SettingsFile::write(
        dir.path(), {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}, &error));
    QVERIFY(SettingsFile::write(
        dir.path(), {QStringLiteral("host:5433"), QStringLiteral("u"), QStringLiteral("db2"), QStringLiteral("p")},
        &error));
    ConnectionString read;
    QVERIFY(SettingsFile::read(dir.path(), &read, &error));
    QCOMPARE(read.server, QStringLiteral("host:5433"));
    QCOMPARE(read.database, QStringLiteral("db2"));
    QFile f(SettingsFile::path(dir.path()));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll().count('\n'), 4);
}

void TestSettings::readsOnlyTheFirstFourLines()
{
    QTemporaryDir dir;
    QFile f(SettingsFile::path(dir.path()));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("srv\r\nusr\r\ndb\r\npw\r\nextra\r\nmore\r\n");
    f.close();
    ConnectionString read;
    QString error;
    QVERIFY(SettingsFile::read(dir.path(), &read, &error));
    QCOMPARE(read, (ConnectionString{QStringLiteral("srv"), QStringLiteral("usr"), QStringLiteral("db"),
                                     QStringLiteral("pw")}));
}

void TestSettings::fewerThanFourLinesIsAnError()
{
    QTemporaryDir dir;
    QFile f(SettingsFile::path(dir.path()));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("srv\r\nusr\r\ndb\r\n");
    f.close();
    ConnectionString read;
    QString error;
    QVERIFY(!SettingsFile::read(dir.path(), &read, &error));
    QVERIFY(!error.isEmpty());
}

void TestSettings::passwordWithSemicolonAndQuoteRoundTrips()
{
    QTemporaryDir dir;
    const ConnectionString s{QStringLiteral("srv"), QStringLiteral("o'brien"), QStringLiteral("db"),
                             QStringLiteral("p;w'd\"x")};
    QString error;
    QVERIFY(SettingsFile::write(dir.path(), s, &error));
    ConnectionString read;
    QVERIFY(SettingsFile::read(dir.path(), &read, &error));
    QCOMPARE(read, s);
}

void TestSettings::fileIsReadableByOwnerOnly()
{
    QTemporaryDir dir;
    QString error;
    QVERIFY(SettingsFile::write(
        dir.path(), {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}, &error));
    const QFileDevice::Permissions p = QFile::permissions(SettingsFile::path(dir.path()));
    QVERIFY(p & QFileDevice::ReadOwner);
    QVERIFY(!(p & (QFileDevice::ReadGroup | QFileDevice::ReadOther)));
}

void TestSettings::embeddedServerName_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("embedded");
    QTest::newRow("exact") << QStringLiteral("(local)") << true;
    QTest::newRow("case and blanks") << QStringLiteral("  (LOCAL) ") << true;
    QTest::newRow("host") << QStringLiteral("localhost") << false;
    QTest::newRow("dotted") << QStringLiteral(".") << false;
}

void TestSettings::embeddedServerName()
{
    QFETCH(QString, server);
    QFETCH(bool, embedded);
    ConnectionString c{server, {}, {}, {}};
    QCOMPARE(c.isEmbedded(), embedded);
}

void TestSettings::hostAndPort()
{
    ConnectionString c{QStringLiteral("db.example:6543"), {}, {}, {}};
    QCOMPARE(c.host(), QStringLiteral("db.example"));
    QCOMPARE(c.port(), 6543);
    c.server = QStringLiteral("db.example");
    QCOMPARE(c.host(), QStringLiteral("db.example"));
    QCOMPARE(c.port(), 5432);
    const ConnectionString o{QStringLiteral("S"), QStringLiteral("U"), QStringLiteral("D"), QStringLiteral("P")};
    QCOMPARE(o.oleDbText(), QStringLiteral("Provider=sqloledb;Data Source=S;Initial Catalog=D;User Id=U;Password=P"));
    QCOMPARE(o.odbcText(), QStringLiteral("driver={SQL Server};server=S;uid=U;pwd=P;database="));
}

void TestSettings::validation_data()
{
    QTest::addColumn<QStringList>("fields"); // server, user, database, password, confirmation
    QTest::addColumn<bool>("forOk");
    QTest::addColumn<QString>("message");
    const QString ok = QString();
    auto row = [](const char* name, std::initializer_list<const char*> raw, bool forOk, const QString& m) {
        QStringList f;
        for (const char* r : raw)
            f << QString::fromUtf8(r);
        QTest::newRow(name) << f << forOk << m;
    };
    row("digits first, even with all else empty", {"", "", "123", "", ""}, true,
        QStringLiteral("Invalid database name."));
    row("decimal number", {"s", "u", " 1.5", "p", "p"}, false, QStringLiteral("Invalid database name."));
    row("slash", {"s", "u", "a/b", "p", "p"}, true, QStringLiteral("Invalid database name."));
    row("quote", {"s", "u", "a\"b", "p", "p"}, true, QStringLiteral("Invalid database name."));
    row("semicolon", {"s", "u", "a;drop", "p", "p"}, true, QStringLiteral("Invalid database name."));
    row("dot dot", {"s", "u", "..", "p", "p"}, true, QStringLiteral("Invalid database name."));
    row("no server", {"  ", "u", "db", "p", "p"}, true, QStringLiteral("Please enter the Server Name."));
    row("no user", {"s", " ", "db", "p", "p"}, true, QStringLiteral("Please enter the User Name."));
    row("no database", {"s", "u", "  ", "p", "p"}, true, QStringLiteral("Please enter the Database Name."));
    row("no password", {"s", "u", "db", " ", "p"}, true, QStringLiteral("Please enter the User Password."));
    row("no confirmation", {"s", "u", "db", "p", " "}, true, QStringLiteral("Please enter the Confirm Password."));
    row("mismatch on ok", {"s", "u", "db", "p", "q"}, true,
        QStringLiteral("User Password and Confirm Password do not macth."));
    row("mismatch on test", {"s", "u", "db", "p", "q"}, false,
        QStringLiteral("User Password and Confirm Password dose not macth."));
    row("case differs only", {"s", "u", "db", "Secret", "sECRET"}, true, ok);
    row("ok compares the confirmation as typed", {"s", "u", "db", "pw", "pw "}, true,
        QStringLiteral("User Password and Confirm Password do not macth."));
    row("test trims both", {"s", "u", "db", "pw", "pw "}, false, ok);
    row("name with digits and letters", {"s", "u", "Law 2024", "p", "p"}, true, ok);
}

void TestSettings::validation()
{
    QFETCH(QStringList, fields);
    QFETCH(bool, forOk);
    QFETCH(QString, message);
    const ConnectionFields f{fields[0], fields[1], fields[2], fields[3], fields[4]};
    QCOMPARE(ConnectionValidation::firstFailure(f, forOk ? ConnectionValidation::Purpose::Ok
                                                         : ConnectionValidation::Purpose::Test),
             message);
}

void TestSettings::exportFileNameIsAbsolute()
{
    QCOMPARE(SharedData::exportFileName(QStringLiteral("/tmp/a/../case.txt")), QStringLiteral("/tmp/case.txt"));
    QVERIFY(SharedData::exportFileName(QStringLiteral("case.xls")).startsWith(QLatin1Char('/')));
    QVERIFY(SharedData::exportFileName(QStringLiteral("  ")).isEmpty());
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
