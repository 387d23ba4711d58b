// The View Citation screen on both engines: its list, the citation screen it opens and the listing it prints.
#include "core/citations/citation_list_query.h"
#include "core/citations/citation_store.h"
#include "core/db/db_session.h"
#include "datagen/citation_filler.h"
#include "datagen/citation_generator.h"
#include "gui/citations/citation_list_model.h"
#include "gui/citations/citation_list_screen.h"
#include "gui/citations/citation_screen.h"
#include "report/listing_report.h"
#include "support/gui_test_support.h"
#include "support/test_database.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <memory>

namespace {
const QDate ReportDay(2026, 12, 8);

QStringList texts(std::initializer_list<const char*> items)
{
    QStringList out;
    for (const char* item : items)
        out << QString::fromUtf8(item);
    return out;
}

Citation citation(const QString& text, const QString& title, const QDate& date)
{
    Citation c;
    c.citation = text;
    c.caseTitle = title;
    c.judgmentDate = date;
    c.categories = {CitationLink{1, QStringLiteral("Tax"), {}}};
    c.courts = {CitationLink{1, QStringLiteral("Supreme Court"), {}}};
    return c;
}

std::unique_ptr<CitationListScreen> openList(const TestDatabase& t)
{
    auto screen = std::make_unique<CitationListScreen>(t.ctx());
    screen->setClock([] { return ReportDay; });
    screen->show();
    return screen;
}

QStringList rowCells(const QAbstractItemModel& model, int row, int role = Qt::DisplayRole)
{
    QStringList cells;
    for (int c = 0; c < model.columnCount(); ++c)
        cells << model.index(row, c).data(role).toString();
    return cells;
}

// Runs `check` on the next modal window once it is shown, then closes it.
void onNextModal(const std::function<void(QWidget*)>& check, bool* seen)
{
    QTimer::singleShot(0, [check, seen] {
        if (!waitUntil([] { return QApplication::activeModalWidget() != nullptr; }))
            return;
        QWidget* modal = QApplication::activeModalWidget();
        *seen = true;
        check(modal);
        modal->close();
    });
}

QString pdfText(const QString& path)
{
    const QString reader = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (reader.isEmpty())
        return {};
    QProcess process;
    process.start(reader, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}
} // namespace

class TestCitationList : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void headersAndCells();
    void toolTipShowsTheBeginning_data();
    void toolTipShowsTheBeginning();
    void longToolTipFitsTheScreen();
    void idColumnFitsItsIds();
    void emptyListOpensNothing();
    void doubleClickOpensTheCitationToRead();
    void printOnEmptyDatabaseSaysNoRecords();
    void printedRowsReadBackInOrder();
    void fiveThousandGeneratedCitationsScrollToTheEnd();
    void listingWalkStartsAtAnyRow();
};

void TestCitationList::init()
{
    MessageBox::setScripted(true);
    MessageBox::clearShown();
}

void TestCitationList::headersAndCells()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    QString judgment = QStringLiteral("The appeal is allowed.\nCosts follow the event. ");
    while (judgment.size() < 400)
        judgment += QStringLiteral("The tribunal erred in law. ");
    judgment = judgment.trimmed();
    {
        DbSession session(t.ctx());
        const CitationStore store(session);
        Citation full = citation(QStringLiteral("2019 SCMR 12"), QStringLiteral("A v. B"), QDate(2019, 3, 14));
        full.text(Citation::Judgment) = judgment;
        full.text(Citation::NatureOfCase) = QStringLiteral("Tax appeal");
        full.text(Citation::Remarks) = QStringLiteral("Followed");
        QCOMPARE(store.add(full).valueOr(0), qint64(1));
        const Citation empty = citation(QStringLiteral("PLD 2001 Lah 7"), QStringLiteral("C v. D"), QDate(2001, 12, 1));
        QCOMPARE(store.add(empty).valueOr(0), qint64(2));
    }
    // A case without any text row at all is listed too.
    QVERIFY(t.exec(QStringLiteral("INSERT INTO case_master (case_id, citation, c_case, dt_of_judgment) "
                                  "VALUES (3, 'NLR 1999 1', 'E v. F', ?)"),
                   {QDateTime(QDate(1999, 1, 5), QTime(0, 0))}));

    auto screen = openList(t);
    LEX_FIND(list, QTreeView, screen.get(), QStringLiteral("Lv0010"));
    QAbstractItemModelTester tester(list->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(screen->windowTitle(), QStringLiteral("View Citation"));
    QStringList headers;
    for (int c = 0; c < list->model()->columnCount(); ++c)
        headers << list->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headers, texts({"Id", "Citation", "Judgment", "Case", "Date", "Nature Of Case", "Fact Summary", "Issue",
                             "Rule Of Law", "Remarks"}));
    QCOMPARE(list->model()->rowCount(), 3);

    const QString shown =
        judgment.left(CitationListQuery::kCellTextLength).replace(QLatin1Char('\n'), QLatin1Char(' '));
    QStringList first = texts({"1", "2019 SCMR 12", "", "A v. B", "Mar-2019", "Tax appeal", "", "", "", "Followed"});
    first[2] = shown + QStringLiteral("...");
    QCOMPARE(rowCells(*list->model(), 0), first);
    QCOMPARE(rowCells(*list->model(), 1), texts({"2", "PLD 2001 Lah 7", "", "C v. D", "Dec-2001", "", "", "", "", ""}));
    QCOMPARE(rowCells(*list->model(), 2), texts({"3", "NLR 1999 1", "", "E v. F", "Jan-1999", "", "", "", "", ""}));
    // The tooltip shows the beginning of the whole text, not only of the cell, line breaks and all; a short text
    // is its own tooltip.
    const QString tip = list->model()->index(0, 2).data(Qt::ToolTipRole).toString();
    QCOMPARE(tip, CitationListModel::toolTipText(judgment));
    QVERIFY2(
        tip.startsWith(QStringLiteral("The appeal is allowed.\nCosts follow the event. The tribunal erred in law.")),
        qPrintable(tip));
    QVERIFY(tip.size() > CitationListQuery::kCellTextLength);
    QCOMPARE(list->model()->index(0, 5).data(Qt::ToolTipRole).toString(), QStringLiteral("Tax appeal"));
    QCOMPARE(list->model()->index(2, 0).data(CitationListModel::CaseIdRole).toLongLong(), qint64(3));
    QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(shownTexts().join(QLatin1Char('|'))));
}

void TestCitationList::toolTipShowsTheBeginning_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("short") << QStringLiteral("Tax appeal") << QStringLiteral("Tax appeal");
    QTest::newRow("line breaks kept") << QStringLiteral("One.\r\nTwo.\nThree.") << QStringLiteral("One.\nTwo.\nThree.");
    const QString word = QStringLiteral("word ");
    // 16 words of 4 letters with their blanks make one line of 79 characters.
    const QString line = word.repeated(15) + QStringLiteral("word");
    QTest::newRow("wrapped at blanks") << word.repeated(20).trimmed()
                                       << line + QLatin1Char('\n') + word.repeated(3) + QStringLiteral("word");
    QTest::newRow("a word longer than a line")
        << QString(100, QLatin1Char('x'))
        << QString(80, QLatin1Char('x')) + QLatin1Char('\n') + QString(20, QLatin1Char('x'));
    QTest::newRow("too many lines") << QStringLiteral("a\n").repeated(20)
                                    << QStringLiteral("a\n").repeated(7) + QStringLiteral("a\u2026");
}

void TestCitationList::toolTipShowsTheBeginning()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(CitationListModel::toolTipText(text), expected);
}

// A text of 7,000 characters: its first few hundred, in lines of a readable width, and "…" to say there is more.
void TestCitationList::longToolTipFitsTheScreen()
{
    const QString sentence = QStringLiteral("The tribunal erred in law and the appeal is allowed with costs. ");
    QString text;
    while (text.size() < 7000)
        text += sentence;
    const QString tip = CitationListModel::toolTipText(text);
    QVERIFY(tip.endsWith(QChar(0x2026)));
    const QStringList lines = tip.split(QLatin1Char('\n'));
    QVERIFY2(lines.size() <= CitationListModel::kToolTipLines, qPrintable(tip));
    for (const QString& line : lines)
        QVERIFY2(line.size() <= CitationListModel::kToolTipLineChars + 1, qPrintable(line));
    const QString shown = tip.chopped(1).replace(QLatin1Char('\n'), QLatin1Char(' '));
    QVERIFY(text.startsWith(shown));
    QVERIFY2(shown.size() >= 300 && shown.size() <= CitationListModel::kToolTipChars, qPrintable(tip));
}

// The Id column is as wide as its widest id needs, however many digits.
void TestCitationList::idColumnFitsItsIds()
{
    LEX_USE_DATABASE(t, true);
    for (int id : {7, 2931, 10482})
        QVERIFY(
            t.exec(QStringLiteral("INSERT INTO case_master (case_id, citation, c_case) VALUES (?, 'C', 'T')"), {id}));
    auto screen = openList(t);
    LEX_FIND(list, QTreeView, screen.get(), QStringLiteral("Lv0010"));
    QCOMPARE(list->model()->rowCount(), 3);
    const int width = list->header()->sectionSize(0);
    int widest = 0;
    for (int row = 0; row < 3; ++row) {
        const QModelIndex index = list->model()->index(row, 0);
        QStyleOptionViewItem option;
        option.initFrom(list);
        const int needed = list->itemDelegate()->sizeHint(option, index).width();
        QVERIFY2(needed <= width,
                 qPrintable(QStringLiteral("%1 needs %2, has %3").arg(index.data().toString()).arg(needed).arg(width)));
        widest = std::max(widest, needed);
    }
    QCOMPARE(list->model()->index(2, 0).data().toString(), QStringLiteral("10482"));
    // Sized to its content, not to a guess: no wider than its widest id needs, give or take a digit.
    QVERIFY2(width <= std::max(widest, list->header()->sectionSizeHint(0)) +
                          list->fontMetrics().horizontalAdvance(QLatin1Char('0')),
             qPrintable(QString::number(width)));
}

void TestCitationList::emptyListOpensNothing()
{
    LEX_USE_DATABASE(t, true);
    auto screen = openList(t);
    LEX_FIND(list, QTreeView, screen.get(), QStringLiteral("Lv0010"));
    QCOMPARE(list->model()->rowCount(), 0);
    QCOMPARE(list->model()->columnCount(), 10);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
    emit list->doubleClicked(list->model()->index(0, 0));
    QTest::qWait(50);
    QCOMPARE(QApplication::activeModalWidget(), screen.get()); // no other screen over the list
    QVERIFY(!screen->findChild<CitationScreen*>());

    // Help opens its own topic; Close closes.
    int context = 0;
    screen->setHelpHandler([&](QWidget*, const QString&, int id) { context = id; });
    LEX_FIND(help, QPushButton, screen.get(), QStringLiteral("Cmd0010(2)"));
    QCOMPARE(help->toolTip(), QStringLiteral("Help"));
    help->click();
    QCOMPARE(context, 100100);
    LEX_FIND(close, QPushButton, screen.get(), QStringLiteral("Cmd0010(0)"));
    QCOMPARE(close->text(), QStringLiteral("&Close"));
    close->click();
    QVERIFY(!screen->isVisible());
}

void TestCitationList::doubleClickOpensTheCitationToRead()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    {
        DbSession session(t.ctx());
        const CitationStore store(session);
        for (int i = 1; i <= 3; ++i)
            QVERIFY(store.add(
                citation(QStringLiteral("2020 SCMR %1").arg(i), QStringLiteral("Case %1").arg(i), QDate(2020, i, 1))));
    }
    auto screen = openList(t);
    LEX_FIND(list, QTreeView, screen.get(), QStringLiteral("Lv0010"));
    const QModelIndex second = list->model()->index(1, 3);
    const QPoint at = list->visualRect(second).center();
    bool seen = false;
    QString name;
    QString citationText;
    QList<int> usable;
    onNextModal(
        [&](QWidget* modal) {
            name = modal->objectName();
            auto* shown = qobject_cast<CitationScreen*>(modal);
            if (!shown)
                return;
            if (auto* line = shown->findChild<QLineEdit*>(QStringLiteral("Txt0006(0)")))
                citationText = line->text();
            for (int i = 0; i < CitationScreen::ButtonCount; ++i) {
                auto* button = shown->findChild<QPushButton*>(QStringLiteral("Cmd0006(%1)").arg(i));
                if (button && button->isEnabled())
                    usable << i;
            }
        },
        &seen);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QVERIFY(seen);
    QCOMPARE(name, QStringLiteral("CS06000601"));
    QCOMPARE(citationText, QStringLiteral("2020 SCMR 2"));
    // Only "&Close" and "Save Report".
    QCOMPARE(usable, QList<int>({CitationScreen::CloseButton, CitationScreen::SaveReportButton}));
}

void TestCitationList::printOnEmptyDatabaseSaysNoRecords()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    // A case without a judgment row is not in the listing.
    QVERIFY(t.exec(QStringLiteral("INSERT INTO case_master (case_id, citation, c_case) VALUES (1, 'X', 'Y')")));
    auto screen = openList(t);
    LEX_FIND(print, QPushButton, screen.get(), QStringLiteral("Cmd0010(1)"));
    QCOMPARE(print->text(), QStringLiteral("Print"));
    print->click();
    QCOMPARE(shownTexts(), QStringList({QStringLiteral("No records are found.")}));
    QCOMPARE(MessageBox::shown().first().title, QStringLiteral("Lexorium"));
    QVERIFY(!screen->findChild<QDialog*>(QStringLiteral("CS06100201")));
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void TestCitationList::printedRowsReadBackInOrder()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.addSampleMasters());
    {
        DbSession session(t.ctx());
        const CitationStore store(session);
        // Stored out of date order: the listing follows the cases' keys.
        const QList<QDate> dates{QDate(2015, 6, 3), QDate(1998, 2, 9), QDate(2022, 11, 30)};
        for (int i = 0; i < dates.size(); ++i) {
            Citation c = citation(QStringLiteral("CIT-%1").arg(i + 1), QStringLiteral("Title%1").arg(i + 1), dates[i]);
            c.text(Citation::Judgment) = QStringLiteral("Judgment%1").arg(i + 1);
            QVERIFY(store.add(c));
        }
    }
    QVERIFY(t.exec(QStringLiteral("INSERT INTO case_master (case_id, citation, c_case) VALUES (9, 'CIT-NONE', 'Z')")));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("listing.pdf"));
    auto screen = openList(t);
    int rows = -1;
    Error error = Error::other(QStringLiteral("the report was not written"));
    screen->setReportHandler([&](QWidget*, const ListingReport& report) {
        rows = report.rowCount();
        QCOMPARE(report.caption(), QStringLiteral("Citation Listing Report"));
        error = report.renderToPdf(path);
    });
    LEX_FIND(print, QPushButton, screen.get(), QStringLiteral("Cmd0010(1)"));
    print->click();
    QVERIFY2(!error, qPrintable(error.description));
    QCOMPARE(rows, 3);
    const QString text = pdfText(path);
    QVERIFY2(!text.isEmpty(), "pdftotext (poppler-utils) could not read the report");
    QVERIFY(text.contains(QStringLiteral("Date:08-Dec-2026")));
    QVERIFY(!text.contains(QStringLiteral("CIT-NONE")));
    const QRegularExpression row(QStringLiteral("CIT-(\\d)"));
    QStringList order;
    for (auto it = row.globalMatch(text); it.hasNext();)
        order << it.next().captured(1);
    QCOMPARE(order, texts({"1", "2", "3"}));
    for (const char* cell : {"Judgment2", "Title3", "Jun-2015", "Feb-1998", "Nov-2022"})
        QVERIFY2(text.contains(QLatin1String(cell)), cell);
}

void TestCitationList::fiveThousandGeneratedCitationsScrollToTheEnd()
{
    LEX_USE_DATABASE(t, true);
    constexpr int kCitations = 5000;
    Citation last;
    {
        DbSession session(t.ctx());
        QVERIFY(!CitationFiller::writeMasters(session));
        CitationGenerator generator(2026);
        const Error e = CitationFiller::fill(session, generator, kCitations);
        QVERIFY2(!e, qPrintable(e.description));
        Result<Citation> loaded = CitationStore(session).load(kCitations);
        QVERIFY(loaded);
        last = *loaded;
    }
    auto screen = openList(t);
    LEX_FIND(list, QTreeView, screen.get(), QStringLiteral("Lv0010"));
    QCOMPARE(list->model()->rowCount(), kCitations);
    list->scrollToBottom();
    const QModelIndex end = list->model()->index(kCitations - 1, 0);
    QVERIFY(waitUntil([&] { return list->viewport()->rect().intersects(list->visualRect(end)); }));
    QVERIFY(list->indexAt(QPoint(5, 5)).row() > kCitations - 100);
    QTest::qWait(20);
    const QStringList cells = rowCells(*list->model(), kCitations - 1);
    const auto cut = [](const QString& text) {
        QString shown = text.size() > CitationListQuery::kCellTextLength
                            ? text.left(CitationListQuery::kCellTextLength) + QStringLiteral("...")
                            : text;
        return shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
    };
    QCOMPARE(cells[0], QString::number(kCitations));
    QCOMPARE(cells[1], last.citation);
    QCOMPARE(cells[2], cut(last.text(Citation::Judgment)));
    QCOMPARE(cells[3], last.caseTitle);
    QCOMPARE(cells[4], QLocale::c().toString(last.judgmentDate, QStringLiteral("MMM-yyyy")));
    for (int i = 1; i < Citation::kTextCount; ++i)
        QCOMPARE(cells[4 + i], cut(last.texts[std::size_t(i)]));
    QCOMPARE(list->model()->index(kCitations - 1, 9).data(Qt::ToolTipRole).toString(),
             CitationListModel::toolTipText(last.text(Citation::Remarks)));
    QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(shownTexts().join(QLatin1Char('|'))));
}

void TestCitationList::listingWalkStartsAtAnyRow()
{
    LEX_USE_DATABASE(t, true);
    constexpr int kCitations = 450;
    {
        DbSession session(t.ctx());
        QVERIFY(!CitationFiller::writeMasters(session));
        CitationGenerator generator(7);
        const Error e = CitationFiller::fill(session, generator, kCitations);
        QVERIFY2(!e, qPrintable(e.description));
    }
    DbSession session(t.ctx());
    const CitationListQuery query(session);
    Result<QList<qint64>> ids = query.listingCaseIds();
    QVERIFY(ids);
    QCOMPARE(ids->size(), kCitations);
    // Gone since the ids were read: the first row of the second block of 200, and the very last.
    QVERIFY(!CitationStore(session).remove(ids->at(200)));
    QVERIFY(!CitationStore(session).remove(ids->last()));

    using Walked = QList<QPair<int, QString>>;
    const auto walk = [&](int start, Walked* out) {
        return query.eachListingRow(
            *ids,
            [out](int index, const QStringList& row) {
                out->append({index, row.join(QLatin1Char('|'))});
                return true;
            },
            start);
    };
    Walked all;
    QVERIFY(!walk(0, &all));
    QCOMPARE(all.size(), kCitations - 2);
    QCOMPARE(all[199].first, 199);
    QCOMPARE(all[200].first, 201);
    for (const int start :
         {1, 57, 199, 200, 201, 399, 400, kCitations - 2, kCitations - 1, kCitations, kCitations + 9}) {
        Walked from;
        QVERIFY(!walk(start, &from));
        Walked expected;
        for (const auto& row : all)
            if (row.first >= start)
                expected.append(row);
        QVERIFY2(from == expected, qPrintable(QString::number(start)));
    }
    // A walk stopped part-way reads no further.
    int seen = 0;
    QVERIFY(!query.eachListingRow(
        *ids, [&](int, const QStringList&) { return ++seen < 3; }, 300));
    QCOMPARE(seen, 3);
}

QTEST_MAIN(TestCitationList)
#include "tst_citation_list.moc"
