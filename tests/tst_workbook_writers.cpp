#include "core/citations/xls_writer.h"
#include "core/citations/xlsx_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <algorithm>

namespace {

// Row, column, text, and "bold" or "" (or what the reader found wrong with the font).
using CellTuple = std::tuple<int, int, QString, QString>;

QString boldMark(bool bold)
{
    return bold ? QStringLiteral("bold") : QString();
}

Error writeAs(const QString& format, const QString& path, const Sheet& sheet)
{
    return format == QLatin1String("xls") ? XlsWriter::write(path, sheet) : XlsxWriter::write(path, sheet);
}

SheetCell heading(int row, const QString& text)
{
    return {row, 0, text, true};
}

SheetCell value(int row, int column, const QString& text)
{
    return {row, column, text, false};
}

// A 7,900-character judgment: Latin-1 only, so stored 8-bit.
QString longJudgment()
{
    QString text;
    while (text.size() < 7900)
        text += QStringLiteral("The appeal is allowed; the conviction under section 302 is set aside. Café. ");
    text.truncate(7899);
    return text + QLatin1Char('!');
}

// Laid out as a citation is exported: a bold heading in the first column, its values beside it.
Sheet citationSheet()
{
    const QList<std::pair<const char*, QStringList>> rows = {
        {"Dated", {QStringLiteral("12-Mar-2024")}},
        {"Citation", {QStringLiteral("2024 SCC 117")}},
        {"Judgment", {longJudgment()}},
        {"Case", {QStringLiteral("Ramesh Kumar v. State of U.P.\nCriminal Appeal No. 12 of 2023")}},
        {"Date Of Judgment", {QStringLiteral("05-Jan-2024")}},
        {"Summary", {QStringLiteral("न्यायालय ने अपील स्वीकार की और दोषसिद्धि को रद्द कर दिया।")}},
        {"Nature Of Case", {QStringLiteral("Criminal")}},
        {"Issue", {QStringLiteral("Ζήτημα δικαιοδοσίας του δικαστηρίου")}},
        {"RuleOf Law", {QStringLiteral("法治原则 𠀀𠀁 𝄞 😀")}},
        {"Remarks", {QString()}},
        {"Court", {QStringLiteral("Supreme Court of India"), QStringLiteral("High Court of Delhi")}},
        {"Category", {QStringLiteral("Criminal")}}, // the same text as another cell: stored once
        {"Act", {QStringLiteral("Indian Penal Code, 1860")}},
        {"Section", {QStringLiteral("302")}},
        {"Act", {QStringLiteral("Code of Criminal Procedure, 1973")}},
        {"Section", {QStringLiteral("374(2)")}},
        {"Bench Name", {QStringLiteral("Justice A. Sharma, Justice B. Rao")}},
    };
    Sheet sheet{QStringLiteral("Citation"), {}};
    // Added bottom-up: the writers must not depend on the order of the cells.
    for (int row = int(rows.size()) - 1; row >= 0; --row) {
        sheet.cells.append(heading(row, QString::fromLatin1(rows.at(row).first)));
        for (int i = 0; i < rows.at(row).second.size(); ++i)
            sheet.cells.append(value(row, i + 1, rows.at(row).second.at(i)));
    }
    return sheet;
}

// What a reader should see: every cell with text or a bold font, in reading order.
QList<CellTuple> expectedCells(const Sheet& sheet, bool withBold = true)
{
    QList<CellTuple> cells;
    for (const SheetCell& cell : sheet.cells) {
        if (!cell.text.isEmpty() || (withBold && cell.bold))
            cells.append({cell.row, cell.column, cell.text, boldMark(withBold && cell.bold)});
    }
    std::sort(cells.begin(), cells.end());
    return cells;
}

QString pythonProgram()
{
    // Debian's python3 is the one its python3-* packages install for.
    if (QFileInfo(QStringLiteral("/usr/bin/python3")).isExecutable())
        return QStringLiteral("/usr/bin/python3");
    return QStandardPaths::findExecutable(QStringLiteral("python3"));
}

// Runs tests/workbook_reader.py; an empty object with *error set when it fails.
QJsonObject readBack(const QString& kind, const QString& path, QString* error)
{
    QProcess reader;
    reader.start(pythonProgram(), {QStringLiteral(LEXORIUM_TESTS_DIR "/workbook_reader.py"), kind, path});
    if (!reader.waitForFinished(120000) || reader.exitStatus() != QProcess::NormalExit || reader.exitCode() != 0) {
        *error = QStringLiteral("the reader failed (exit code %1): %2")
                     .arg(reader.exitCode())
                     .arg(reader.error() == QProcess::UnknownError ? QString::fromUtf8(reader.readAllStandardError())
                                                                   : reader.errorString());
        return {};
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(reader.readAllStandardOutput(), &parseError);
    if (!doc.isObject())
        *error = QStringLiteral("reader printed no JSON: %1").arg(parseError.errorString());
    return doc.object();
}

QList<CellTuple> cellsOf(const QJsonObject& sheet)
{
    QList<CellTuple> cells;
    for (const QJsonValue& v : sheet.value(QLatin1String("cells")).toArray()) {
        const QJsonArray c = v.toArray();
        // A bold entry that is not a boolean is the reader's complaint; it then shows in the comparison.
        const QString bold = c.at(3).isBool() ? boldMark(c.at(3).toBool()) : c.at(3).toString();
        cells.append({c.at(0).toInt(), c.at(1).toInt(), c.at(2).toString(), bold});
    }
    std::sort(cells.begin(), cells.end());
    return cells;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class WorkbookWritersTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void citationSheetReadsBack_data();
    void citationSheetReadsBack();
    void sharedStringsRunIntoContinueRecords();
    void workbookLargerThanHeaderFatNeedsDifat();
    void libreOfficeSeesTheSameCells_data();
    void libreOfficeSeesTheSameCells();
    void failedWriteLeavesExistingFile_data();
    void failedWriteLeavesExistingFile();

private:
    QTemporaryDir m_dir;
};

void WorkbookWritersTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(!pythonProgram().isEmpty(), "python3 is needed to read the workbooks back");
    const int found =
        QProcess::execute(pythonProgram(), {QStringLiteral("-c"), QStringLiteral("import xlrd, openpyxl")});
    QVERIFY2(found == 0, "python3-xlrd and python3-openpyxl are needed: scripts/install-deps.sh --test");
}

void WorkbookWritersTest::citationSheetReadsBack_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("xls") << QStringLiteral("xls");
    QTest::newRow("xlsx") << QStringLiteral("xlsx");
}

// Values at their positions, bold only on headings, long and non-Latin text intact, the sheet name kept.
void WorkbookWritersTest::citationSheetReadsBack()
{
    QFETCH(QString, format);
    const QString path = m_dir.filePath(QStringLiteral("citation.") + format);
    const Sheet sheet = citationSheet();
    const Error written = writeAs(format, path, sheet);
    QVERIFY2(!written, qPrintable(written.description));
    QString error;

    const QJsonObject book = readBack(format, path, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QJsonArray sheets = book.value(QLatin1String("sheets")).toArray();
    QCOMPARE(sheets.size(), 1);
    QCOMPARE(sheets.at(0).toObject().value(QLatin1String("name")).toString(), sheet.name);
    QCOMPARE(cellsOf(sheets.at(0).toObject()), expectedCells(sheet));
}

// Strings totalling far more than one record: 8-bit and UTF-16 strings split across CONTINUE records, and
// strings of surrogate pairs at every parity so that some split would otherwise fall inside a pair.
void WorkbookWritersTest::sharedStringsRunIntoContinueRecords()
{
    Sheet sheet{QStringLiteral("Strings"), {}};
    int row = 0;
    for (int i = 0; i < 6; ++i)
        sheet.cells.append(value(row++, 0, QString(3000 + 97 * i, QLatin1Char('a' + i))));
    for (int i = 0; i < 6; ++i)
        sheet.cells.append(value(row++, 0, QString(2500 + 89 * i, QChar(0x0915 + i)))); // Devanagari
    for (int i = 0; i < 8; ++i)
        sheet.cells.append(value(row++, 0, QString(i, QLatin1Char('x')) + QStringLiteral("😀").repeated(1500)));
    sheet.cells.append(heading(row++, QStringLiteral("Last, after the splits")));

    const QString path = m_dir.filePath(QStringLiteral("strings.xls"));
    const Error written = XlsWriter::write(path, sheet);
    QVERIFY2(!written, qPrintable(written.description));
    QString error;
    const QJsonObject book = readBack(QStringLiteral("xls"), path, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    QVERIFY(book.value(QLatin1String("continueRecords")).toInt() >= 5);
    bool narrowSplit = false;
    bool wideSplit = false;
    bool pairKeptWhole = false;
    for (const QJsonValue& v : book.value(QLatin1String("straddles")).toArray()) {
        const QJsonObject s = v.toObject();
        const bool wide = s.value(QLatin1String("wide")).toBool();
        (wide ? wideSplit : narrowSplit) = true;
        // A UTF-16 split leaves at most one byte unused, unless it stepped back to keep a pair together.
        if (wide && s.value(QLatin1String("unused")).toInt() >= 2)
            pairKeptWhole = true;
    }
    QVERIFY(narrowSplit);
    QVERIFY(wideSplit);
    QVERIFY(pairKeptWhole);
    QCOMPARE(cellsOf(book.value(QLatin1String("sheets")).toArray().at(0).toObject()), expectedCells(sheet));
}

// 120 cells at the 32,767-character limit in UTF-16 make a file of about 8 MB, past what the header's
// 109 FAT sector slots can address.
void WorkbookWritersTest::workbookLargerThanHeaderFatNeedsDifat()
{
    Sheet sheet{QStringLiteral("Large"), {}};
    for (int i = 0; i < 120; ++i) {
        const QString prefix = QString::number(i) + QLatin1Char(' ');
        sheet.cells.append(
            value(i, i % 3, prefix + QString(kMaxCellTextLength - prefix.size(), QChar(0x03B1 + i % 20))));
    }
    const QString path = m_dir.filePath(QStringLiteral("large.xls"));
    const Error written = XlsWriter::write(path, sheet);
    QVERIFY2(!written, qPrintable(written.description));
    QString error;
    QVERIFY(QFileInfo(path).size() > 7 * 1024 * 1024);

    const QJsonObject book = readBack(QStringLiteral("xls"), path, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(book.value(QLatin1String("difatSectors")).toInt() >= 1);
    QVERIFY(cellsOf(book.value(QLatin1String("sheets")).toArray().at(0).toObject()) == expectedCells(sheet));
}

void WorkbookWritersTest::libreOfficeSeesTheSameCells_data()
{
    citationSheetReadsBack_data();
}

// A third, unrelated reader: values through its CSV export, bold through its own .xlsx export.
void WorkbookWritersTest::libreOfficeSeesTheSameCells()
{
    QFETCH(QString, format);
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        QSKIP("LibreOffice (soffice) is not installed; the other readers still check the files");

    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QString path = work.filePath(QStringLiteral("citation.") + format);
    const Sheet sheet = citationSheet();
    const Error written = writeAs(format, path, sheet);
    QVERIFY2(!written, qPrintable(written.description));
    QString error;

    const QString outDir = work.filePath(QStringLiteral("out"));
    const QString profile = QUrl::fromLocalFile(work.filePath(QStringLiteral("profile"))).toString();
    auto convert = [&](const QString& filter, const QString& suffix) {
        QProcess process;
        // A profile of its own, so a running or broken user profile cannot interfere.
        process.start(soffice, {QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
                                QStringLiteral("--convert-to"), filter, QStringLiteral("--outdir"), outDir, path});
        process.waitForFinished(180000);
        const QString converted = outDir + QStringLiteral("/citation.") + suffix;
        return QFileInfo::exists(converted) ? converted : QString();
    };

    const QString csv = convert(QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1"), QStringLiteral("csv"));
    QVERIFY2(!csv.isEmpty(), "LibreOffice made no CSV file");
    QJsonObject book = readBack(QStringLiteral("csv"), csv, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(cellsOf(book.value(QLatin1String("sheets")).toArray().at(0).toObject()), expectedCells(sheet, false));

    const QString xlsx = convert(QStringLiteral("xlsx:Calc MS Excel 2007 XML"), QStringLiteral("xlsx"));
    QVERIFY2(!xlsx.isEmpty(), "LibreOffice made no .xlsx file");
    book = readBack(QStringLiteral("xlsx"), xlsx, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(cellsOf(book.value(QLatin1String("sheets")).toArray().at(0).toObject()), expectedCells(sheet));
}

void WorkbookWritersTest::failedWriteLeavesExistingFile_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("fault");
    for (const char* format : {"xls", "xlsx"}) {
        for (const char* fault :
             {"text too long", "parent is a file", "outside the grid", "two cells at one place", "bad sheet name"})
            QTest::addRow("%s: %s", format, fault) << QString::fromLatin1(format) << QString::fromLatin1(fault);
    }
}

// A refused sheet or an unwritable place: an error comes back, the earlier file is untouched and no scratch
// file is left behind; a good write afterwards replaces it.
void WorkbookWritersTest::failedWriteLeavesExistingFile()
{
    QFETCH(QString, format);
    QFETCH(QString, fault);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString existing = dir.filePath(QStringLiteral("export.") + format);
    const QByteArray before("an earlier export");
    {
        QFile file(existing);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(before);
    }

    Sheet sheet{QStringLiteral("Citation"), {heading(0, QStringLiteral("Dated")), value(0, 1, QStringLiteral("x"))}};
    QString target = existing;
    if (fault == QLatin1String("text too long"))
        sheet.cells.append(value(1, 1, QString(kMaxCellTextLength + 1, QLatin1Char('y'))));
    else if (fault == QLatin1String("parent is a file"))
        target = existing + QStringLiteral("/inner.") + format;
    else if (fault == QLatin1String("outside the grid"))
        sheet.cells.append(value(format == QLatin1String("xls") ? 65536 : 1048576, 0, QStringLiteral("z")));
    else if (fault == QLatin1String("two cells at one place"))
        sheet.cells.append(value(0, 1, QStringLiteral("again")));
    else
        sheet.name = QStringLiteral("Acts [2024]");

    const Error error = writeAs(format, target, sheet);
    QVERIFY(error);
    QVERIFY(!error.description.isEmpty());
    // Only the unwritable place is the file's fault; the others are sheets the format cannot hold.
    QVERIFY(error.kind == (fault == QLatin1String("parent is a file") ? Error::Kind::Io : Error::Kind::Other));
    QCOMPARE(fileBytes(existing), before);
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(left, QStringList{QFileInfo(existing).fileName()});

    const Sheet good{QStringLiteral("Citation"), {heading(0, QStringLiteral("Dated"))}};
    const Error goodWrite = writeAs(format, existing, good);
    QVERIFY2(!goodWrite, qPrintable(goodWrite.description));
    QString goodError;
    QVERIFY(fileBytes(existing) != before);
    const QJsonObject book = readBack(format, existing, &goodError);
    QVERIFY2(goodError.isEmpty(), qPrintable(goodError));
    QCOMPARE(cellsOf(book.value(QLatin1String("sheets")).toArray().at(0).toObject()), expectedCells(good));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);
}

QTEST_GUILESS_MAIN(WorkbookWritersTest)
#include "tst_workbook_writers.moc"
