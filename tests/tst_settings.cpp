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
    void missingOrUnwritableFile();
    void passwordWithSemicolonAndQuoteRoundTrips();
    void fileIsReadableByOwnerOnly();
    void embeddedServerName_data();
    void embeddedServerName();
    void hostAndPort_data();
    void hostAndPort();
    void serverNames_data();
    void serverNames();
    void damagedFileIsRefused_data();
    void damagedFileIsRefused();
    void byteOrderMarkIsNotPartOfTheServer();
    void writeRefusesWhatReadWouldRefuse();
    void validation_data();
    void validation();
    void exportFileNameIsAbsolute();
};

void TestSettings::writesFourTrimmedCrlfLines()
{
    QTemporaryDir dir;
    QVERIFY(!SettingsFile::write(dir.path(), {QStringLiteral(" (local) "), QStringLiteral("sa "),
                                              QStringLiteral(" Law"), QStringLiteral(" pw ")}));
    QFile f(SettingsFile::path(dir.path()));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("(local)\r\nsa\r\nLaw\r\npw\r\n"));
    QVERIFY(SettingsFile::path(dir.path()).endsWith(QLatin1String("/vor_Lexorium.ini")));
}

void TestSettings::secondSaveReplacesTheFirst()
{
    QTemporaryDir dir;
    QVERIFY(!SettingsFile::write(dir.path(),
                                 {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}));
    QVERIFY(!SettingsFile::write(
        dir.path(), {QStringLiteral("host:5433"), QStringLiteral("u"), QStringLiteral("db2"), QStringLiteral("p")}));
    const Result<ConnectionString> read = SettingsFile::read(dir.path());
    QVERIFY(read);
    QCOMPARE(read->server, QStringLiteral("host:5433"));
    QCOMPARE(read->database, QStringLiteral("db2"));
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
    const Result<ConnectionString> read = SettingsFile::read(dir.path());
    QVERIFY(read);
    QCOMPARE(*read, (ConnectionString{QStringLiteral("srv"), QStringLiteral("usr"), QStringLiteral("db"),
                                      QStringLiteral("pw")}));
}

void TestSettings::fewerThanFourLinesIsAnError()
{
    QTemporaryDir dir;
    QFile f(SettingsFile::path(dir.path()));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("srv\r\nusr\r\ndb\r\n");
    f.close();
    const Result<ConnectionString> read = SettingsFile::read(dir.path());
    QVERIFY(!read);
    QVERIFY(read.error().kind == Error::Kind::Io);
    QVERIFY(!read.error().description.isEmpty());
}

// No file is NotFound, so a caller can tell a first start from a broken file; a place that cannot be written is Io.
void TestSettings::missingOrUnwritableFile()
{
    QTemporaryDir dir;
    const Result<ConnectionString> read = SettingsFile::read(dir.path());
    QVERIFY(!read);
    QVERIFY(read.error().kind == Error::Kind::NotFound);
    QVERIFY(read.error().description.startsWith(
        QStringLiteral("The settings file %1 cannot be used.\n").arg(SettingsFile::path(dir.path()))));

    const Error written =
        SettingsFile::write(dir.filePath(QStringLiteral("no/such/folder")),
                            {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")});
    QVERIFY(written.kind == Error::Kind::Io);
    QVERIFY(!written.description.isEmpty());
}

void TestSettings::passwordWithSemicolonAndQuoteRoundTrips()
{
    QTemporaryDir dir;
    const ConnectionString s{QStringLiteral("srv"), QStringLiteral("o'brien"), QStringLiteral("db"),
                             QStringLiteral("p;w'd\"x")};
    QVERIFY(!SettingsFile::write(dir.path(), s));
    const Result<ConnectionString> read = SettingsFile::read(dir.path());
    QVERIFY(read);
    QCOMPARE(*read, s);
}

void TestSettings::fileIsReadableByOwnerOnly()
{
    QTemporaryDir dir;
    QVERIFY(!SettingsFile::write(dir.path(),
                                 {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}));
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

void TestSettings::hostAndPort_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("host and port") << QStringLiteral("db.example:6543") << QStringLiteral("db.example") << 6543;
    QTest::newRow("host alone") << QStringLiteral(" db.example ") << QStringLiteral("db.example") << 5432;
    QTest::newRow("leading zeros") << QStringLiteral("h:05433") << QStringLiteral("h") << 5433;
    QTest::newRow("highest port") << QStringLiteral("h:65535") << QStringLiteral("h") << 65535;
    QTest::newRow("IPv6 in brackets") << QStringLiteral("[::1]:6000") << QStringLiteral("::1") << 6000;
    QTest::newRow("IPv6 without port") << QStringLiteral("[fe80::1%eth0]") << QStringLiteral("fe80::1%eth0") << 5432;
    QTest::newRow("socket folder") << QStringLiteral("/run/postgresql") << QStringLiteral("/run/postgresql") << 5432;
    // A bad port must never quietly become the default one.
    QTest::newRow("port too high") << QStringLiteral("127.0.0.1:99999") << QStringLiteral("127.0.0.1") << 0;
    QTest::newRow("port zero") << QStringLiteral("h:0") << QStringLiteral("h") << 0;
    QTest::newRow("port not a number") << QStringLiteral("h:pg") << QStringLiteral("h") << 0;
}

void TestSettings::hostAndPort()
{
    QFETCH(QString, server);
    QFETCH(QString, host);
    QFETCH(int, port);
    const ConnectionString c{server, {}, {}, {}};
    QCOMPARE(c.host(), host);
    QCOMPARE(c.port(), port);
}

void TestSettings::serverNames_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("problem");
    const QString ok;
    const QString form =
        QStringLiteral("It must be (local) for this computer, or a PostgreSQL server as host or host:port.");
    const QString port = QStringLiteral("The port after the colon must be a whole number from 1 to 65535.");
    const QString ipv6 = QStringLiteral("An IPv6 address must be written in brackets, as in [::1]:5432.");
    QTest::newRow("(local)") << QStringLiteral(" (Local) ") << ok;
    QTest::newRow("long host name") << QStringLiteral("localhost.localdomain:55471") << ok;
    QTest::newRow("255 characters") << QString(251, QLatin1Char('a')) + QStringLiteral(":543") << ok;
    QTest::newRow("256 characters") << QString(252, QLatin1Char('a')) + QStringLiteral(":543")
                                    << QStringLiteral("It is longer than 255 characters.");
    QTest::newRow("port 99999") << QStringLiteral("127.0.0.1:99999") << port;
    QTest::newRow("port alone") << QStringLiteral(":99999") << form;
    QTest::newRow("empty port") << QStringLiteral("host:") << port;
    QTest::newRow("signed port") << QStringLiteral("host:+5432") << port;
    QTest::newRow("negative port") << QStringLiteral("host:-1") << port;
    QTest::newRow("port with blank") << QStringLiteral("host: 5432") << port;
    QTest::newRow("port overflowing") << QStringLiteral("host:4294967297") << port;
    QTest::newRow("(local) with port") << QStringLiteral("(local):5432") << form;
    QTest::newRow("blank inside") << QStringLiteral("my server") << form;
    QTest::newRow("control character") << QStringLiteral("host\tname") << form;
    QTest::newRow("semicolon") << QStringLiteral("host;port=1") << form;
    QTest::newRow("bare IPv6") << QStringLiteral("::1") << ipv6;
    QTest::newRow("unclosed bracket") << QStringLiteral("[::1:5432") << ipv6;
    QTest::newRow("junk after bracket") << QStringLiteral("[::1]x") << ipv6;
    QTest::newRow("bracketed port too high") << QStringLiteral("[::1]:70000") << port;
}

void TestSettings::serverNames()
{
    QFETCH(QString, server);
    QFETCH(QString, problem);
    QCOMPARE(ConnectionString::serverNameProblem(server), problem);
}

void TestSettings::damagedFileIsRefused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("why");
    QTest::newRow("short") << QByteArray("(local)\r\nsa\r\nLaw\r\n")
                           << QStringLiteral("It holds fewer than four lines.");
    QTest::newRow("empty") << QByteArray() << QStringLiteral("It holds fewer than four lines.");
    QTest::newRow("not UTF-8") << QByteArray("(local)\r\nsa\xff\xfe\r\nLaw\r\npw\r\n")
                               << QStringLiteral("Line 2 is not text: it holds bytes that are not UTF-8.");
    QTest::newRow("cut UTF-8 sequence") << QByteArray("(local)\r\nsa\r\nLaw\xc3\r\npw\r\n")
                                        << QStringLiteral("Line 3 is not text: it holds bytes that are not UTF-8.");
    QTest::newRow("NUL") << QByteArray("(local)\r\nsa\r\nLaw\r\np") + '\0' + QByteArray("w\r\n")
                         << QStringLiteral("Line 4, the password, holds control characters.");
    QTest::newRow("escape") << QByteArray("(local)\r\ns\x1b[2Ja\r\nLaw\r\npw\r\n")
                            << QStringLiteral("Line 2, the user name, holds control characters.");
    QTest::newRow("carriage return inside") << QByteArray("(lo\rcal)\r\nsa\r\nLaw\r\npw\r\n")
                                            << QStringLiteral("Line 1, the server name, holds control characters.");
    QTest::newRow("bad port") << QByteArray("127.0.0.1:99999\r\nsa\r\nLaw\r\npw\r\n")
                              << QStringLiteral("Line 1, the server name, is not valid. The port after the colon must "
                                                "be a whole number from 1 to 65535.");
    QTest::newRow("junk server") << QByteArray("[settings]\r\nserver=(local)\r\nuser=sa\r\ndb=Law\r\n")
                                 << QStringLiteral("Line 1, the server name, is not valid. It must be (local) for this "
                                                   "computer, or a PostgreSQL server as host or host:port.");
    QTest::newRow("empty server") << QByteArray("\r\nsa\r\nLaw\r\npw\r\n")
                                  << QStringLiteral("Line 1, the server name, is empty.");
    QTest::newRow("empty database") << QByteArray("(local)\r\nsa\r\n  \r\npw\r\n")
                                    << QStringLiteral("Line 3, the database name, is empty.");
    QTest::newRow("database as a path") << QByteArray("(local)\r\nsa\r\n../../etc/Law\r\npw\r\n")
                                        << QStringLiteral("Line 3, the database name, is not a valid database name.");
    QTest::newRow("overlong line") << QByteArray(100000, 'x') + QByteArray("\r\nsa\r\nLaw\r\npw\r\n")
                                   << QStringLiteral("Line 1 is too long to be a setting.");
}

void TestSettings::damagedFileIsRefused()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, why);
    QTemporaryDir dir;
    QFile f(SettingsFile::path(dir.path()));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    const Result<ConnectionString> read = SettingsFile::read(dir.path());
    QVERIFY(!read);
    QVERIFY(read.error().kind == Error::Kind::Io);
    QCOMPARE(read.error().description,
             QStringLiteral("The settings file %1 cannot be used.\n%2").arg(f.fileName(), why));
}

void TestSettings::byteOrderMarkIsNotPartOfTheServer()
{
    QTemporaryDir dir;
    QFile f(SettingsFile::path(dir.path()));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("\xef\xbb\xbf(local)\r\nsa\r\nLaw\r\npw\r\n");
    f.close();
    const Result<ConnectionString> read = SettingsFile::read(dir.path());
    QVERIFY2(read, qPrintable(read.error().description));
    QCOMPARE(read->server, QStringLiteral("(local)"));
}

void TestSettings::writeRefusesWhatReadWouldRefuse()
{
    QTemporaryDir dir;
    const ConnectionString good{QStringLiteral("(local)"), QStringLiteral("sa"), QStringLiteral("Law"),
                                QStringLiteral("pw")};
    QVERIFY(!SettingsFile::write(dir.path(), good));
    ConnectionString bad = good;
    bad.server = QStringLiteral("host:99999");
    Error error = SettingsFile::write(dir.path(), bad);
    QVERIFY(error.kind == Error::Kind::Other);
    QCOMPARE(error.description,
             QStringLiteral("The server name is not valid. The port after the colon must be a whole number "
                            "from 1 to 65535."));
    bad = good;
    bad.password = QStringLiteral("p\nw");
    error = SettingsFile::write(dir.path(), bad);
    QVERIFY(error.kind == Error::Kind::Other);
    QCOMPARE(error.description, QStringLiteral("The password holds control characters."));
    const Result<ConnectionString> read = SettingsFile::read(dir.path());
    QVERIFY(read);
    QCOMPARE(*read, good); // left as it was
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
    row("letters with marks", {"s", "u", "हिन्दी", "p", "p"}, true, ok);
    row("precomposed accents", {"s", "u", "Ünïcödé Law", "p", "p"}, true, ok);
    row("decomposed accents", {"s", "u", "U\u0308nic", "p", "p"}, true, ok);
    row("letter beyond the first plane", {"s", "u", "\U0001D49Cct", "p", "p"}, true, ok);
    row("mark first", {"s", "u", "\u0301abc", "p", "p"}, true, QStringLiteral("Invalid database name."));
    row("mark after a blank", {"s", "u", "ab \u0301c", "p", "p"}, true, QStringLiteral("Invalid database name."));
    row("mark after a digit", {"s", "u", "a1\u0301", "p", "p"}, true, QStringLiteral("Invalid database name."));
    row("joiner", {"s", "u", "a\u200db", "p", "p"}, true, QStringLiteral("Invalid database name."));
    row("symbol", {"s", "u", "Law\u2603", "p", "p"}, true, QStringLiteral("Invalid database name."));
    row("backslash", {"s", "u", "a\\b", "p", "p"}, true, QStringLiteral("Invalid database name."));
    const QString badPort =
        QStringLiteral("Invalid server name.\nThe port after the colon must be a whole number from 1 to 65535.");
    row("bad port on ok", {"127.0.0.1:99999", "u", "db", "p", "p"}, true, badPort);
    row("bad port on test", {"h:0", "u", "db", "p", "p"}, false, badPort);
    row("server before the user name", {"h:x", "", "", "", ""}, true, badPort);
    row("database name before the server", {"h:x", "", "1", "", ""}, true, QStringLiteral("Invalid database name."));
    row("long server name", {"localhost.localdomain:55471", "u", "db", "p", "p"}, true, ok);
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
