#include "core/citations/citation_export.h"
#include "core/citations/citation_store.h"
#include "core/db/db_session.h"
#include "support/test_database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Lists entered against the order of the master keys, so an export sorted by anything but entry shows it.
Citation withLists()
{
    Citation c;
    c.citation = QStringLiteral("PLD 2003 SC 5");
    c.caseTitle = QStringLiteral("O'Neil v. State");
    c.judgmentDate = QDate(2003, 5, 17);
    c.text(Citation::Judgment) = QStringLiteral("Appeal allowed.\nCosts to follow.");
    c.text(Citation::NatureOfCase) = QStringLiteral("Civil appeal");
    c.text(Citation::FactSummary) = QStringLiteral("न्यायालय ने अपील स्वीकार की");
    c.text(Citation::Issue) = QStringLiteral("Ζήτημα δικαιοδοσίας");
    c.text(Citation::RuleOfLaw) = QStringLiteral("rule X");
    c.text(Citation::Remarks) = QStringLiteral("remarks Y");
    c.categories = {{3, QStringLiteral("Criminal"), {}}, {1, QStringLiteral("Tax"), {}}};
    c.courts = {{2, QStringLiteral("High Court"), {}}, {1, QStringLiteral("Supreme Court"), {}}};
    c.acts = {{2, QStringLiteral("Contract Act"), QStringLiteral("s. 73")},
              {1, QStringLiteral("Income Tax Ordinance"), QStringLiteral("s. 12(2)")}};
    c.bench = {QStringLiteral("Justice B"), QStringLiteral("法官 李")};
    return c;
}

// No lists and no date of judgment.
Citation withoutLists()
{
    Citation c;
    c.citation = QStringLiteral("2001 SCMR 9");
    c.caseTitle = QStringLiteral("Bare case");
    for (QString& text : c.texts)
        text = QStringLiteral("t");
    c.text(Citation::Remarks) = QStringLiteral("See also PLD 2001 SC 1");
    return c;
}

// 7,900 characters, the longest a text may be, ending in a mark that a cut would lose.
QString longestJudgment()
{
    QString text;
    while (text.size() < 7899)
        text += QStringLiteral("The conviction under section 302 is set aside. ");
    text.truncate(7899);
    return text + QLatin1Char('!');
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString extension(CitationExport::Format format)
{
    switch (format) {
    case CitationExport::Format::Text:
        return QStringLiteral("txt");
    case CitationExport::Format::Xls:
        return QStringLiteral("xls");
    case CitationExport::Format::Xlsx:
        return QStringLiteral("xlsx");
    }
    return {};
}

QString pythonProgram()
{
    // Debian's python3 is the one its python3-* packages install for.
    if (QFileInfo(QStringLiteral("/usr/bin/python3")).isExecutable())
        return QStringLiteral("/usr/bin/python3");
    return QStandardPaths::findExecutable(QStringLiteral("python3"));
}

// The first sheet's cells as (row, column, text, bold), read by tests/workbook_reader.py (xlrd, openpyxl).
using CellTuple = std::tuple<int, int, QString, bool>;

QList<CellTuple> readBack(const QString& kind, const QString& path, QString* error)
{
    QProcess reader;
    reader.start(pythonProgram(), {QStringLiteral(LEXORIUM_TESTS_DIR "/workbook_reader.py"), kind, path});
    if (!reader.waitForFinished(120000) || reader.exitStatus() != QProcess::NormalExit || reader.exitCode() != 0) {
        *error = QStringLiteral("the reader failed: ") + QString::fromUtf8(reader.readAllStandardError());
        return {};
    }
    const QJsonDocument doc = QJsonDocument::fromJson(reader.readAllStandardOutput());
    const QJsonArray sheets = doc.object().value(QLatin1String("sheets")).toArray();
    if (sheets.size() != 1) {
        *error = QStringLiteral("expected one sheet, read %1").arg(sheets.size());
        return {};
    }
    QList<CellTuple> cells;
    for (const QJsonValue& v : sheets.at(0).toObject().value(QLatin1String("cells")).toArray()) {
        const QJsonArray c = v.toArray();
        if (!c.at(3).isBool())
            *error = QStringLiteral("the reader found a fault in a font: ") + c.at(3).toString();
        cells.append({c.at(0).toInt(), c.at(1).toInt(), c.at(2).toString(), c.at(3).toBool()});
    }
    std::sort(cells.begin(), cells.end());
    return cells;
}

// A bold heading and its values beside it; the readers leave out cells without text.
void expectRow(QList<CellTuple>* cells, int row, const char* heading, const QStringList& values)
{
    cells->append({row, 0, QString::fromUtf8(heading), true});
    for (int i = 0; i < values.size(); ++i)
        if (!values.at(i).isEmpty())
            cells->append({row, i + 1, values.at(i), false});
}

} // namespace

Q_DECLARE_METATYPE(CitationExport::Format)

// Runs against the engine named by LEXORIUM_TEST_ENGINE.
class TestCitationExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void formatFromNameAndFilter_data();
    void formatFromNameAndFilter();
    void endingFromFilter_data();
    void endingFromFilter();
    void textReportBytes();
    void workbookReadsBack_data();
    void workbookReadsBack();
    void failedExportLeavesExistingFile_data();
    void failedExportLeavesExistingFile();
};

void TestCitationExport::initTestCase()
{
    // Month names must come out in English whatever the user's locale.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QVERIFY2(!pythonProgram().isEmpty(), "python3 is needed to read the workbooks back");
    const int found =
        QProcess::execute(pythonProgram(), {QStringLiteral("-c"), QStringLiteral("import xlrd, openpyxl")});
    QVERIFY2(found == 0, "python3-xlrd and python3-openpyxl are needed: scripts/install-deps.sh --test");
}

void TestCitationExport::cleanupTestCase()
{
    QLocale::setDefault(QLocale::c());
}

void TestCitationExport::formatFromNameAndFilter_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<CitationExport::Format>("format");
    const QString text = CitationExport::textFilter();
    const QString xlsx = CitationExport::xlsxFilter();
    QTest::newRow(".txt") << QStringLiteral("/tmp/a.txt") << CitationExport::xlsFilter()
                          << CitationExport::Format::Text;
    QTest::newRow(".TXT") << QStringLiteral("/tmp/a.TXT") << QString() << CitationExport::Format::Text;
    QTest::newRow(".xls whatever the filter") << QStringLiteral("/tmp/a.xls") << text << CitationExport::Format::Xls;
    QTest::newRow(".Xlsx") << QStringLiteral("/tmp/a.Xlsx") << text << CitationExport::Format::Xlsx;
    QTest::newRow(".txt.xls") << QStringLiteral("/tmp/a.txt.xls") << text << CitationExport::Format::Xls;
    QTest::newRow("no ending, text filter") << QStringLiteral("/tmp/a") << text << CitationExport::Format::Text;
    QTest::newRow("no ending, xlsx filter") << QStringLiteral("/tmp/a.doc") << xlsx << CitationExport::Format::Xlsx;
    QTest::newRow("no ending, no filter") << QStringLiteral("/tmp/a") << QString() << CitationExport::Format::Xls;
    QTest::newRow("txt in a folder name") << QStringLiteral("/tmp/x.txt/a") << QString() << CitationExport::Format::Xls;
}

void TestCitationExport::formatFromNameAndFilter()
{
    QFETCH(QString, name);
    QFETCH(QString, filter);
    QFETCH(CitationExport::Format, format);
    QCOMPARE(CitationExport::formatFor(name, filter), format);
}

// Save Report's name: kept when it ends in one of the three, else given the chosen filter's ending (.txt without
// one); the format then follows from the name alone.
void TestCitationExport::endingFromFilter_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("saved");
    QTest::addColumn<CitationExport::Format>("format");
    const QString text = CitationExport::textFilter();
    const QString xls = CitationExport::xlsFilter();
    const QString xlsx = CitationExport::xlsxFilter();
    QTest::newRow("own ending kept") << "/tmp/a.XLS" << text << "/tmp/a.XLS" << CitationExport::Format::Xls;
    QTest::newRow(".xlsx kept") << "/tmp/a.xlsx" << xls << "/tmp/a.xlsx" << CitationExport::Format::Xlsx;
    QTest::newRow("text filter") << "/tmp/a" << text << "/tmp/a.txt" << CitationExport::Format::Text;
    QTest::newRow("xls filter") << "/tmp/a.doc" << xls << "/tmp/a.doc.xls" << CitationExport::Format::Xls;
    QTest::newRow("xlsx filter") << "/tmp/a" << xlsx << "/tmp/a.xlsx" << CitationExport::Format::Xlsx;
    QTest::newRow("no filter") << "/tmp/a" << QString() << "/tmp/a.txt" << CitationExport::Format::Text;
    QTest::newRow("ending on the folder")
        << "/tmp/x.xls/a" << xlsx << "/tmp/x.xls/a.xlsx" << CitationExport::Format::Xlsx;
}

void TestCitationExport::endingFromFilter()
{
    QFETCH(QString, name);
    QFETCH(QString, filter);
    QFETCH(QString, saved);
    QFETCH(CitationExport::Format, format);
    QCOMPARE(CitationExport::withEnding(name, filter), saved);
    QCOMPARE(CitationExport::formatFor(saved), format);
}

// The exact bytes: CR LF, today's date as given, texts as stored, lists in entry order, two Acts with their
// sections; and a citation without lists ends with its remarks.
void TestCitationExport::textReportBytes()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    DbSession session(t.ctx());
    const CitationStore store(session);
    const qint64 full = store.add(withLists()).valueOr(-1);
    const qint64 bare = store.add(withoutLists()).valueOr(-1);
    QVERIFY(full > 0 && bare > 0);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("report.txt"));

    Error e = CitationExport::writeText(session, full, path, QDate(2003, 3, 5));
    QVERIFY2(!e, qPrintable(e.description));
    const QByteArray expected = "Dated:05/03/2003\r\n"
                                "\r\n"
                                "\r\n"
                                "Citation: PLD 2003 SC 5\r\n"
                                "Judgment: Appeal allowed.\nCosts to follow.\r\n"
                                "Case: O'Neil v. State\r\n"
                                "Date of Judgment: May-2003\r\n"
                                "Summary: न्यायालय ने अपील स्वीकार की\r\n"
                                "Nature Of Case:Civil appeal\r\n"
                                "Issue: Ζήτημα δικαιοδοσίας\r\n"
                                "Rule of Law: rule X\r\n"
                                "Remarks: remarks Y\r\n"
                                "\r\n"
                                "Court: \r\n"
                                "   1)High Court\r\n"
                                "   2)Supreme Court\r\n"
                                "\r\n"
                                "Category: \r\n"
                                "   1)Criminal\r\n"
                                "   2)Tax\r\n"
                                "\r\n"
                                "Act:\r\n"
                                "   1)Contract Act\r\n"
                                "   Section: s. 73\r\n"
                                "   2)Income Tax Ordinance\r\n"
                                "   Section: s. 12(2)\r\n"
                                "\r\n"
                                "Bench Name: \r\n"
                                "   1)Justice B\r\n"
                                "   2)法官 李\r\n";
    QCOMPARE(fileBytes(path), expected);

    // Written over the first report: the name is replaced, not appended to.
    e = CitationExport::writeText(session, bare, path, QDate(2024, 12, 31));
    QVERIFY2(!e, qPrintable(e.description));
    QCOMPARE(fileBytes(path), QByteArray("Dated:31/12/2024\r\n\r\n\r\n"
                                         "Citation: 2001 SCMR 9\r\n"
                                         "Judgment: t\r\n"
                                         "Case: Bare case\r\n"
                                         "Date of Judgment: \r\n"
                                         "Summary: t\r\n"
                                         "Nature Of Case:t\r\n"
                                         "Issue: t\r\n"
                                         "Rule of Law: t\r\n"
                                         "Remarks: See also PLD 2001 SC 1\r\n"));
}

void TestCitationExport::workbookReadsBack_data()
{
    QTest::addColumn<CitationExport::Format>("format");
    QTest::newRow("xls") << CitationExport::Format::Xls;
    QTest::newRow("xlsx") << CitationExport::Format::Xlsx;
}

// Headings in order and bold, values plain and intact (the longest text, non-Latin text), each section under
// its Act, and no list headings for a citation without lists.
void TestCitationExport::workbookReadsBack()
{
    QFETCH(CitationExport::Format, format);
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    DbSession session(t.ctx());
    const CitationStore store(session);
    Citation c = withLists();
    c.text(Citation::Judgment) = longestJudgment();
    c.acts[1].section.clear();
    const qint64 full = store.add(c).valueOr(-1);
    const qint64 bare = store.add(withoutLists()).valueOr(-1);
    QVERIFY(full > 0 && bare > 0);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("report.") + extension(format));

    Error e = CitationExport::write(session, format, full, path, QDate(2003, 3, 5));
    QVERIFY2(!e, qPrintable(e.description));
    QString error;
    const QList<CellTuple> cells = readBack(extension(format), path, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QList<CellTuple> expected;
    expectRow(&expected, 0, "Dated", {QStringLiteral("05/03/2003")});
    expectRow(&expected, 1, "Citation", {c.citation});
    expectRow(&expected, 2, "Judgment", {longestJudgment()});
    expectRow(&expected, 3, "Case", {c.caseTitle});
    expectRow(&expected, 4, "Date Of Judgment", {QStringLiteral("May-2003")});
    expectRow(&expected, 5, "Summary", {QStringLiteral("न्यायालय ने अपील स्वीकार की")});
    expectRow(&expected, 6, "Nature Of Case", {QStringLiteral("Civil appeal")});
    expectRow(&expected, 7, "Issue", {QStringLiteral("Ζήτημα δικαιοδοσίας")});
    expectRow(&expected, 8, "RuleOf Law", {QStringLiteral("rule X")});
    expectRow(&expected, 9, "Remarks", {QStringLiteral("remarks Y")});
    expectRow(&expected, 10, "Court", {QStringLiteral("High Court"), QStringLiteral("Supreme Court")});
    expectRow(&expected, 11, "Category", {QStringLiteral("Criminal"), QStringLiteral("Tax")});
    expectRow(&expected, 12, "Act", {QStringLiteral("Contract Act"), QStringLiteral("Income Tax Ordinance")});
    expectRow(&expected, 13, "Section", {QStringLiteral("s. 73"), QString()});
    expectRow(&expected, 14, "Bench Name", {QStringLiteral("Justice B"), QStringLiteral("法官 李")});
    std::sort(expected.begin(), expected.end());
    QCOMPARE(cells, expected);

    e = CitationExport::write(session, format, bare, path, QDate(2024, 12, 31));
    QVERIFY2(!e, qPrintable(e.description));
    expected.clear();
    const QList<const char*> headings{"Dated",   "Citation",       "Judgment", "Case",       "Date Of Judgment",
                                      "Summary", "Nature Of Case", "Issue",    "RuleOf Law", "Remarks"};
    const QStringList values{QStringLiteral("31/12/2024"),
                             QStringLiteral("2001 SCMR 9"),
                             QStringLiteral("t"),
                             QStringLiteral("Bare case"),
                             QString(),
                             QStringLiteral("t"),
                             QStringLiteral("t"),
                             QStringLiteral("t"),
                             QStringLiteral("t"),
                             QStringLiteral("See also PLD 2001 SC 1")};
    for (int row = 0; row < headings.size(); ++row)
        expectRow(&expected, row, headings.at(row), {values.at(row)});
    QCOMPARE(readBack(extension(format), path, &error), expected);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestCitationExport::failedExportLeavesExistingFile_data()
{
    QTest::addColumn<CitationExport::Format>("format");
    QTest::addColumn<QString>("fault");
    for (CitationExport::Format format :
         {CitationExport::Format::Text, CitationExport::Format::Xls, CitationExport::Format::Xlsx}) {
        for (const char* fault : {"not stored", "text row missing", "parent is a file"})
            QTest::addRow("%s, %s", qPrintable(extension(format)), fault) << format << QString::fromUtf8(fault);
    }
}

// A failed export touches nothing: the old file keeps its bytes and no scratch or new file is left behind.
// The next export that succeeds replaces the old file.
void TestCitationExport::failedExportLeavesExistingFile()
{
    QFETCH(CitationExport::Format, format);
    QFETCH(QString, fault);
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    DbSession session(t.ctx());
    const qint64 id = CitationStore(session).add(withLists()).valueOr(-1);
    QVERIFY(id > 0);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString existing = dir.filePath(QStringLiteral("report.") + extension(format));
    const QByteArray before("an earlier report\r\n");
    {
        QFile file(existing);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(before), before.size());
    }

    QList<QString> targets{existing};
    qint64 caseId = id;
    if (fault == QLatin1String("not stored")) {
        caseId = id + 1;
        targets << dir.filePath(QStringLiteral("new.") + extension(format));
    } else if (fault == QLatin1String("text row missing")) {
        QVERIFY(t.exec(QStringLiteral("UPDATE case_master SET issue_id = NULL WHERE case_id = ?"), {id}));
        targets << dir.filePath(QStringLiteral("new.") + extension(format));
    } else {
        targets = {existing + QStringLiteral("/inner.") + extension(format)};
    }
    for (const QString& target : targets) {
        const Error e = CitationExport::write(session, format, caseId, target, QDate(2003, 3, 5));
        QVERIFY(e.isError());
        if (fault != QLatin1String("parent is a file"))
            QCOMPARE(e.description, CitationExport::notStoredMessage(caseId));
        else
            QVERIFY2(e.description.contains(QLatin1String("inner")), qPrintable(e.description));
    }
    QCOMPARE(fileBytes(existing), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QFileInfo(existing).fileName()});

    if (fault == QLatin1String("text row missing"))
        return; // that citation cannot be exported at all
    const Error e = CitationExport::write(session, format, id, existing, QDate(2003, 3, 5));
    QVERIFY2(!e, qPrintable(e.description));
    const QByteArray after = fileBytes(existing);
    const QByteArray magic = format == CitationExport::Format::Text  ? QByteArray("Dated:05/03/2003\r\n")
                             : format == CitationExport::Format::Xls ? QByteArray("\xD0\xCF\x11\xE0")
                                                                     : QByteArray("PK\x03\x04");
    QVERIFY(after.startsWith(magic));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 1);
}

QTEST_GUILESS_MAIN(TestCitationExport)
#include "tst_citation_export.moc"
