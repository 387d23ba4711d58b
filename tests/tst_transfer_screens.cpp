#include "core/citations/citation_store.h"
#include "core/db/db_session.h"
#include "core/transfer/citation_import.h"
#include "gui/common/file_dialog.h"
#include "gui/common/message_box.h"
#include "gui/search/find_citation_screen.h"
#include "gui/shell/main_window.h"
#include "gui/transfer/export_dialog.h"
#include "gui/transfer/import_dialog.h"
#include "gui/transfer/transfer_actions.h"
#include "support/gui_test_support.h"
#include "support/test_database.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

// The File menu's import and export and Find In Citation's export of the citations found, driven as a user would.
class TstTransferScreens : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void importStoresGoodRowsAndListsRefused();
    void cancelKeepsTheRowsStored();
    void menuItemsOpenTheirDialogs();
    void exportWritesTheFoundCitationsOnly();
    void endingComesFromTheChosenKind_data();
    void endingComesFromTheChosenKind();

private:
    QTemporaryDir m_files;
};

namespace {
qint64 citationCount(const TestDatabase& t)
{
    return t.scalar(QStringLiteral("SELECT COUNT(*) FROM case_master")).toLongLong();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QString readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}
} // namespace

void TstTransferScreens::init()
{
    MessageBox::setScripted(true);
    MessageBox::clearShown();
    FileDialog::setScripted(true);
    FileDialog::clearAsked();
}

void TstTransferScreens::importStoresGoodRowsAndListsRefused()
{
    LEX_USE_DATABASE(t, true);
    const QString file = m_files.filePath(QStringLiteral("cases.csv"));
    QVERIFY(writeFile(file, "citation,case,date,remarks\r\n"
                            "PLD 2003 SC 5,State v. A,2003-05-17,\"two\r\nlines\"\r\n"
                            ",No citation,2003-05-17,\r\n"
                            "2001 SCMR 9,Bare,2001-02,\r\n"));
    ImportDialog dialog(t.ctx(), file);
    dialog.show();
    QSignalSpy finished(&dialog, &ImportDialog::runFinished);
    LEX_FIND(start, QPushButton, &dialog, QStringLiteral("ImportStart"));
    start->click();
    QVERIFY(finished.wait(60000));
    QVERIFY(dialog.outcome() && *dialog.outcome());
    const ImportSummary summary = **dialog.outcome();
    QCOMPARE(summary.stored, qint64(2));
    QCOMPARE(summary.refused, qint64(1));
    QCOMPARE(citationCount(t), qint64(2));

    LEX_FIND(counts, QLabel, &dialog, QStringLiteral("ImportCounts"));
    QCOMPARE(counts->text(), CitationImport::summaryText(summary));
    LEX_FIND(refusals, QPlainTextEdit, &dialog, QStringLiteral("ImportRefusals"));
    QVERIFY(refusals->isVisible());
    QCOMPARE(refusals->toPlainText(), CitationImport::refusalsText(summary));
    // The row is named by the line it begins on, after the quoted line break above it.
    QVERIFY2(refusals->toPlainText().startsWith(QLatin1String("Line 4:")), qPrintable(refusals->toPlainText()));

    // The refused rows saved as a text file, as listed.
    const QString saved = m_files.filePath(QStringLiteral("refused.txt"));
    FileDialog::setNextFileName(saved);
    LEX_FIND(save, QPushButton, &dialog, QStringLiteral("ImportSaveList"));
    QVERIFY(save->isEnabled());
    save->click();
    QCOMPARE(readFile(saved), refusals->toPlainText());
    // A file that went in whole is not offered again.
    QVERIFY(!start->isEnabled());
}

void TstTransferScreens::cancelKeepsTheRowsStored()
{
    LEX_USE_DATABASE(t, true);
    const QString file = m_files.filePath(QStringLiteral("many.csv"));
    QByteArray csv = "citation,case\n";
    const int rows = 5000;
    for (int i = 1; i <= rows; ++i)
        csv += "PLD " + QByteArray::number(1900 + i % 100) + " SC " + QByteArray::number(i) + ",Case " +
               QByteArray::number(i) + "\n";
    QVERIFY(writeFile(file, csv));

    ImportDialog dialog(t.ctx(), file);
    dialog.show();
    QSignalSpy finished(&dialog, &ImportDialog::runFinished);
    LEX_FIND(start, QPushButton, &dialog, QStringLiteral("ImportStart"));
    LEX_FIND(cancel, QPushButton, &dialog, QStringLiteral("ImportCancel"));
    LEX_FIND(counts, QLabel, &dialog, QStringLiteral("ImportCounts"));
    start->click();
    QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
    // The window stays live and counts while the rows go in.
    QVERIFY(waitUntil([&] { return counts->text().contains(QLatin1String("rows read")); }, 60000));
    cancel->click();
    QVERIFY(finished.wait(60000));
    QVERIFY(dialog.outcome() && *dialog.outcome());
    const ImportSummary summary = **dialog.outcome();
    QVERIFY(summary.cancelled);
    QVERIFY2(summary.stored > 0 && summary.stored < rows, qPrintable(QString::number(summary.stored)));
    QCOMPARE(citationCount(t), summary.stored);
    QCOMPARE(counts->text(), CitationImport::summaryText(summary));
    QVERIFY2(counts->text().contains(QStringLiteral("Cancelled")), qPrintable(counts->text()));
    QCOMPARE(cancel->text(), QStringLiteral("Close"));
    // Nothing half-stored: every case has its six texts.
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM case_master c LEFT JOIN cm_judgment_master j ON j.id = "
                                     "c.judgment_id WHERE j.id IS NULL"))
                 .toLongLong(),
             qint64(0));
}

void TstTransferScreens::menuItemsOpenTheirDialogs()
{
    LEX_USE_DATABASE(t, true);
    {
        DbSession session(t.ctx());
        Citation c;
        c.citation = QStringLiteral("PLD 2003 SC 5");
        QVERIFY(CitationStore(session).add(c));
    }
    MainWindow window(t.ctx());
    const QString file = m_files.filePath(QStringLiteral("one.csv"));
    QVERIFY(writeFile(file, "citation\nX 1\n"));

    // Import: the chosen file is named in the dialog, and closing it stores nothing.
    FileDialog::setNextFileName(file);
    QString named;
    QTimer::singleShot(0, this, [&] {
        auto* dialog = qobject_cast<ImportDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        named = dialog->findChild<QLabel*>(QStringLiteral("ImportFile"))->text();
        dialog->findChild<QPushButton*>(QStringLiteral("ImportCancel"))->click();
    });
    LEX_FIND(importAction, QAction, &window, QStringLiteral("ImportCitations"));
    importAction->trigger();
    QCOMPARE(named, QStringLiteral("Citations from one.csv"));
    QCOMPARE(FileDialog::asked().last().filter, TransferActions::importFilter());
    QCOMPARE(citationCount(t), qint64(1));

    // Export All: a name without an ending gets the chosen kind's, and the outcome is said.
    const QString target = m_files.filePath(QStringLiteral("all"));
    FileDialog::setNextFileName(target, QStringLiteral("CSV files (*.csv)"));
    LEX_FIND(exportAction, QAction, &window, QStringLiteral("ExportAllCitations"));
    exportAction->trigger();
    QVERIFY(QFile::exists(target + QStringLiteral(".csv")));
    QCOMPARE(shownTexts().last(), ExportDialog::outcomeText(qint64(1), target + QStringLiteral(".csv")));
    QVERIFY(readFile(target + QStringLiteral(".csv")).contains(QLatin1String("PLD 2003 SC 5")));

    // Replacing it is asked first; No keeps the file as it was.
    QVERIFY(writeFile(target + QStringLiteral(".csv"), "kept"));
    FileDialog::setNextFileName(target, QStringLiteral("CSV files (*.csv)"));
    MessageBox::setNextAnswer(MessageBox::Answer::No);
    exportAction->trigger();
    QCOMPARE(readFile(target + QStringLiteral(".csv")), QStringLiteral("kept"));
    QCOMPARE(MessageBox::shown().last().defaultButton, MessageBox::Answer::No);
}

void TstTransferScreens::exportWritesTheFoundCitationsOnly()
{
    LEX_USE_DATABASE(t, true);
    {
        DbSession session(t.ctx());
        CitationStore store(session);
        for (const char* text : {"PLD 2003 SC 5", "2001 SCMR 9", "PLD 2004 SC 7"}) {
            Citation c;
            c.citation = QLatin1String(text);
            c.text(Citation::Judgment) = QStringLiteral("judgment of ") + QLatin1String(text);
            QVERIFY(store.add(c));
        }
    }
    FindCitationScreen screen(t.ctx());
    screen.show();
    // Nothing found yet: said, and no file dialog.
    screen.exportFound();
    QCOMPARE(shownTexts().last(), QStringLiteral("No citations were found to export."));
    QVERIFY(FileDialog::asked().isEmpty());

    LEX_FIND(text, QLineEdit, &screen, QStringLiteral("Txt0005"));
    QTest::keyClicks(text, QStringLiteral("PLD"));
    LEX_FIND(findNow, QPushButton, &screen, QStringLiteral("Cmd0005(0)"));
    findNow->click();
    QVERIFY(waitUntil([&] { return !screen.isSearching(); }, 60000));
    QCOMPARE(screen.foundCaseIds(), (QList<qint64>{1, 3}));

    const QString target = m_files.filePath(QStringLiteral("found.csv"));
    FileDialog::setNextFileName(target);
    LEX_FIND(results, QTreeWidget, &screen, QStringLiteral("LV0005"));
    LEX_FIND(action, QAction, results, QStringLiteral("ExportFound"));
    action->trigger();
    const QString written = readFile(target);
    QVERIFY2(written.contains(QLatin1String("PLD 2003 SC 5")) && written.contains(QLatin1String("PLD 2004 SC 7")),
             qPrintable(written));
    QVERIFY(!written.contains(QLatin1String("2001 SCMR 9")));
}

void TstTransferScreens::endingComesFromTheChosenKind_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("written");
    QTest::newRow("workbook") << "/tmp/a"
                              << "Excel workbooks (*.xlsx)"
                              << "/tmp/a.xlsx";
    QTest::newRow("json") << "/tmp/a.v2"
                          << "CSL-JSON files (*.json)"
                          << "/tmp/a.v2.json";
    QTest::newRow("own ending kept") << "/tmp/a.CSV"
                                     << "Excel workbooks (*.xlsx)"
                                     << "/tmp/a.CSV";
    QTest::newRow("no filter") << "/tmp/a"
                               << ""
                               << "/tmp/a.csv";
    QTest::newRow("cancelled") << ""
                               << "CSV files (*.csv)"
                               << "";
}

void TstTransferScreens::endingComesFromTheChosenKind()
{
    QFETCH(QString, chosen);
    QFETCH(QString, filter);
    QFETCH(QString, written);
    QCOMPARE(TransferActions::withEnding(chosen, filter), written);
}

QTEST_MAIN(TstTransferScreens)
#include "tst_transfer_screens.moc"
