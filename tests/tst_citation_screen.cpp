#include "core/citations/citation_store.h"
#include "core/db/db_session.h"
#include "gui/citations/citation_screen.h"
#include "gui/citations/long_text_edit.h"
#include "gui/common/file_dialog.h"
#include "gui/shell/main_window.h"
#include "support/gui_test_support.h"
#include "support/test_database.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTimer>
#include <QTreeWidget>

#include <memory>

namespace {
// The controls of one open citation screen, found by their names.
struct Screen {
    std::unique_ptr<CitationScreen> dialog;

    static Screen open(const DbContext& ctx, CitationScreen::Mode mode = CitationScreen::Mode::Entry, qint64 caseId = 0)
    {
        Screen s;
        s.dialog = std::make_unique<CitationScreen>(ctx, mode, caseId);
        s.dialog->setClock([] { return QDate(2024, 7, 19); });
        s.dialog->show();
        s.dialog->activateWindow();
        if (!QTest::qWaitForWindowActive(s.dialog.get()))
            qWarning("the citation screen did not become active");
        return s;
    }

    template <typename T> T* find(const QString& name) const
    {
        return findOrFail<T>(dialog.get(), name, __FILE__, __LINE__);
    }
    QPushButton* button(int i) const { return find<QPushButton>(QStringLiteral("Cmd0006(%1)").arg(i)); }
    QComboBox* combo(int i) const { return find<QComboBox>(QStringLiteral("Cbo0006(%1)").arg(i)); }
    QComboBox* caseIds() const { return combo(0); }
    QLineEdit* line(int i) const { return find<QLineEdit>(QStringLiteral("Txt0006(%1)").arg(i)); }
    LongTextEdit* text(int i) const { return find<LongTextEdit>(QStringLiteral("Txt0006(%1)").arg(i)); }
    QTreeWidget* list(int i) const { return find<QTreeWidget>(QStringLiteral("LV0006(%1)").arg(i)); }
    QDateEdit* date() const { return find<QDateEdit>(QStringLiteral("DTP0006")); }

    QStringList caseIdItems() const
    {
        QStringList items;
        for (int i = 0; i < caseIds()->count(); ++i)
            items << caseIds()->itemText(i);
        return items;
    }
    void pick(const QString& caseId) const
    {
        const int index = caseIds()->findText(caseId);
        QVERIFY2(index >= 0, qPrintable(caseId));
        caseIds()->setCurrentIndex(index);
    }
    // Every row of a list, its columns joined by '|'.
    QStringList rows(int i) const
    {
        QStringList out;
        QTreeWidget* l = list(i);
        for (int r = 0; r < l->topLevelItemCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < l->columnCount(); ++c)
                cells << l->topLevelItem(r)->text(c);
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }
    void clickRow(int i, int row) const
    {
        QTreeWidget* l = list(i);
        QTreeWidgetItem* item = l->topLevelItem(row);
        l->scrollToItem(item);
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(item).center());
    }
    // Alt+E, Alt+R or Alt+T, as typed into the focused control.
    void altKey(Qt::Key key) const
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : dialog.get();
        QTest::keyClick(target, key, Qt::AltModifier);
    }
    // Which of the nine buttons can be used.
    QList<bool> enabled() const
    {
        QList<bool> out;
        for (int i = 0; i < 9; ++i)
            out << button(i)->isEnabled();
        return out;
    }
    // Add, Modify, Delete, Save Report.
    QList<bool> entryStates() const
    {
        return {button(2)->isEnabled(), button(3)->isEnabled(), button(4)->isEnabled(), button(5)->isEnabled()};
    }
};

const QList<bool> kNewEntry{true, false, false, false};
const QList<bool> kStoredEntry{false, true, true, true};

bool addMasters(const TestDatabase& t)
{
    return t.exec(QStringLiteral("INSERT INTO category_master (id, category) VALUES (1, 'Tax')")) &&
           t.exec(QStringLiteral("INSERT INTO category_master (id, category) VALUES (2, 'Civil')")) &&
           t.exec(QStringLiteral("INSERT INTO court_master (id, court_name) VALUES (1, 'Supreme Court')")) &&
           t.exec(QStringLiteral("INSERT INTO court_master (id, court_name) VALUES (2, 'High Court')")) &&
           t.exec(QStringLiteral("INSERT INTO act_master (id, act) VALUES (1, 'Income Tax Ordinance')")) &&
           t.exec(QStringLiteral("INSERT INTO act_master (id, act) VALUES (2, 'Contract Act')"));
}

Citation sample(const QString& citation)
{
    Citation c;
    c.citation = citation;
    c.caseTitle = QStringLiteral("O'Neil v. State");
    c.judgmentDate = QDate(2003, 3, 5);
    c.text(Citation::Judgment) = QStringLiteral("Appeal allowed.");
    c.text(Citation::NatureOfCase) = QStringLiteral("Civil appeal");
    c.text(Citation::FactSummary) = QStringLiteral("Facts");
    c.text(Citation::Issue) = QStringLiteral("Issue");
    c.text(Citation::RuleOfLaw) = QStringLiteral("rule X");
    c.text(Citation::Remarks) = QStringLiteral("remarks Y");
    c.categories = {{1, QStringLiteral("Tax"), {}}, {2, QStringLiteral("Civil"), {}}};
    c.courts = {{2, QStringLiteral("High Court"), {}}};
    c.acts = {{2, QStringLiteral("Contract Act"), QStringLiteral("s. 73")}};
    c.bench = {QStringLiteral("Justice A"), QStringLiteral("Justice B")};
    return c;
}

qint64 store(const TestDatabase& t, const Citation& c)
{
    DbSession session(t.ctx());
    const Result<qint64> id = CitationStore(session).add(c);
    if (!id)
        qWarning("cannot store the fixture: %s", qPrintable(id.error().description));
    return id.valueOr(0);
}

int count(const TestDatabase& t, const QString& table)
{
    return t.scalar(QStringLiteral("SELECT COUNT(*) FROM ") + table).toInt();
}

// The messages shown since the last look.
QList<MessageBox::Shown> takeShown()
{
    const QList<MessageBox::Shown> shown = MessageBox::shown();
    MessageBox::clearShown();
    return shown;
}

QString onlyMessage()
{
    const QList<MessageBox::Shown> shown = takeShown();
    if (shown.size() != 1) {
        QStringList texts;
        for (const MessageBox::Shown& m : shown)
            texts << m.text;
        qWarning("expected one message, got: %s", qPrintable(texts.join(QStringLiteral(" | "))));
        return QString();
    }
    return shown.first().text;
}

bool pointerIsBack()
{
    return QGuiApplication::overrideCursor() == nullptr;
}

// What a form shows, to tell whether anything on it changed.
QStringList formState(const Screen& s)
{
    QStringList state{s.caseIds()->currentText(), s.line(0)->text(), s.line(2)->text(),
                      s.date()->date().toString(Qt::ISODate)};
    for (int i : {1, 3, 4, 5, 6, 7})
        state << s.text(i)->text();
    for (int i = 0; i < 4; ++i)
        state << s.rows(i);
    return state;
}
} // namespace

// Drives the real screen offscreen, on the engine named by LEXORIUM_TEST_ENGINE.
class TestCitationScreen : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void controlsCaptionsAndHelp();
    void buttonStatesFollowSrNo();
    void noChangesNothingAndBlankCitationIsRefused();
    void addStoresAndResets();
    void modifyRewritesAndReturnsToNew();
    void deleteRemovesAndVanishedCaseIsReported();
    void readOnlyMode();
    void forChangeModeClosesAfterModify();
    void listEditingKeys();
    void citationRefusesPunctuation();
    void longTextsRefuseWhatPassesTheirLimit();
    void pasteBeyondTheLimitIsCutAndSaid_data();
    void pasteBeyondTheLimitIsCutAndSaid();
    void destructiveQuestionsDefaultToNo();
    void failedWritesKeepTheForm();
    void staleScreenIsToldAndOffersReload();
    void benchNamesBeyondTheShownSurviveModify();
    void scrollingHidesTheEditor();
    void saveReportWritesTheFile();
    void saveReportAsksAndCallsTheExport();
    void resizingKeepsTheLayout();
    void mainWindowOpensTheScreen();
    void manyCitations();
};

void TestCitationScreen::init()
{
    MessageBox::setScripted(true);
    MessageBox::clearShown();
    FileDialog::setScripted(true);
    FileDialog::clearAsked();
}

void TestCitationScreen::controlsCaptionsAndHelp()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addMasters(t));
    const Screen s = Screen::open(t.ctx());
    QVERIFY(MessageBox::shown().isEmpty());

    QCOMPARE(s.dialog->objectName(), QStringLiteral("CS06000601"));
    QCOMPARE(s.dialog->windowTitle(), QStringLiteral("Citation"));
    QVERIFY(s.dialog->isModal());

    const QStringList captions{QStringLiteral("&Close"),  QString(), QStringLiteral("&Add"), QStringLiteral("&Modify"),
                               QStringLiteral("&Delete"), QString(), QStringLiteral("&e"),   QStringLiteral("&r"),
                               QStringLiteral("&t")};
    const QStringList tips{QStringLiteral("close citation"),  QStringLiteral("Help"),
                           QStringLiteral("Add citation"),    QStringLiteral("Modify citation"),
                           QStringLiteral("Delete citation"), QStringLiteral("Save Report")};
    for (int i = 0; i < 9; ++i) {
        QCOMPARE(s.button(i)->text(), captions.at(i));
        if (i < tips.size())
            QCOMPARE(s.button(i)->toolTip(), tips.at(i));
    }
    QVERIFY(!s.button(1)->icon().isNull());
    QVERIFY(!s.button(5)->icon().isNull());
    // The access-key buttons lie behind "&Add".
    for (int i : {6, 7, 8}) {
        QVERIFY(s.button(i)->isVisible());
        QVERIFY(s.button(2)->geometry().contains(s.button(i)->geometry()));
    }

    QStringList labels;
    for (QLabel* l : s.dialog->findChildren<QLabel*>())
        if (l->objectName().startsWith(QLatin1String("Lbl0006(")))
            labels << l->text();
    for (const char* expected :
         {"Sr. No", "Citation", "Case", "Date", "Nature of case", "Fact summary", "Judgment", "Issue", "Rule of law",
          "Remarks", "Category   (Press Alt+E to add)", "Court        (Press Alt+R to add)",
          "Act      (Press Alt+T to add)", "Section", "Bench"})
        QVERIFY2(labels.contains(QLatin1String(expected)), expected);

    const auto headers = [&](int i) {
        QStringList out;
        for (int c = 0; c < s.list(i)->columnCount(); ++c)
            out << s.list(i)->headerItem()->text(c);
        return out;
    };
    QCOMPARE(headers(0),
             (QStringList{QStringLiteral("Id"), QStringLiteral("Category"), QStringLiteral("Category Id")}));
    QCOMPARE(headers(1), (QStringList{QStringLiteral("Id"), QStringLiteral("Court"), QStringLiteral("Court Id")}));
    QCOMPARE(headers(2), (QStringList{QStringLiteral("Id"), QStringLiteral("Act"), QStringLiteral("Section"),
                                      QStringLiteral("Act Id")}));
    QCOMPARE(headers(3), (QStringList{QStringLiteral("Id"), QStringLiteral("Bench")}));
    QVERIFY(s.list(0)->columnWidth(0) < s.list(0)->columnWidth(1));

    QCOMPARE(s.line(0)->maxLength(), 50);
    QCOMPARE(s.line(2)->maxLength(), 50);
    QCOMPARE(s.line(8)->maxLength(), 200);
    QCOMPARE(s.line(9)->maxLength(), 200);
    // Every long text holds what the store takes, the issue too.
    for (int i : {1, 3, 4, 5, 6, 7}) {
        QCOMPARE(s.text(i)->maxLength(), 7900);
        QVERIFY(s.text(i)->counter());
        QCOMPARE(s.text(i)->counter()->text(), QStringLiteral("0 / 7,900"));
    }
    QCOMPARE(s.date()->displayFormat(), QStringLiteral("MMM-yyyy"));
    QCOMPARE(s.date()->date(), QDate::currentDate()); // set before a clock could be given

    // An empty database: the first case id, an empty record with its 21 bench rows.
    QCOMPARE(s.caseIdItems(), QStringList{QStringLiteral("1")});
    QCOMPARE(s.entryStates(), kNewEntry);
    QCOMPARE(s.list(3)->topLevelItemCount(), 21);
    QCOMPARE(s.list(3)->topLevelItem(20)->text(0), QStringLiteral("21"));
    for (int i : {0, 1, 2})
        QCOMPARE(s.list(i)->topLevelItemCount(), 0);
    // The choosers: "(None)" with id 0, then the master's names with their ids; hidden over their lists.
    for (int i : {1, 2, 3}) {
        QVERIFY(!s.combo(i)->isVisible());
        QCOMPARE(s.combo(i)->parentWidget(), s.list(i - 1)->viewport());
        QCOMPARE(s.combo(i)->count(), 3);
        QCOMPARE(s.combo(i)->itemText(0), QStringLiteral("(None)"));
        QCOMPARE(s.combo(i)->itemData(0).toLongLong(), 0);
    }
    QCOMPARE(s.combo(1)->itemText(2), QStringLiteral("Civil"));
    QCOMPARE(s.combo(1)->itemData(2).toLongLong(), 2);
    QCOMPARE(s.combo(3)->itemText(1), QStringLiteral("Income Tax Ordinance"));
    QVERIFY(!s.line(8)->isVisible());
    QVERIFY(!s.line(9)->isVisible());

    // Help without the help file, then through the viewer with the screen's topic.
    s.button(1)->click();
    QCOMPARE(onlyMessage(), QStringLiteral("No help is associated with this topic."));
    int context = 0;
    s.dialog->setHelpHandler([&](QWidget* owner, const QString& dir, int id) {
        QCOMPARE(owner, s.dialog.get());
        QCOMPARE(dir, t.programDir());
        context = id;
    });
    s.button(1)->click();
    QCOMPARE(context, 60100);
    QVERIFY(pointerIsBack());

    s.button(0)->click();
    QVERIFY(!s.dialog->isVisible());
}

void TestCitationScreen::buttonStatesFollowSrNo()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addMasters(t));
    QCOMPARE(store(t, sample(QStringLiteral("PLD 2003 SC 5"))), 1);
    Citation second = sample(QStringLiteral("2004 SCMR 7"));
    second.bench = {QString(), QStringLiteral("Justice C")};
    QCOMPARE(store(t, second), 2);
    const Screen s = Screen::open(t.ctx());

    QCOMPARE(s.caseIdItems(), (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    QCOMPARE(s.caseIds()->currentText(), QStringLiteral("3"));
    QCOMPARE(s.entryStates(), kNewEntry);

    s.date()->setDate(QDate(2010, 6, 15));
    s.pick(QStringLiteral("1"));
    QCOMPARE(s.entryStates(), kStoredEntry);
    QCOMPARE(s.line(0)->text(), QStringLiteral("PLD 2003 SC 5"));
    QCOMPARE(s.line(2)->text(), QStringLiteral("O'Neil v. State"));
    // Month and year shown; the day is the first.
    QCOMPARE(s.date()->text(), QStringLiteral("Mar-2003"));
    QCOMPARE(s.date()->date(), QDate(2003, 3, 1));
    QCOMPARE(s.text(1)->text(), QStringLiteral("Appeal allowed."));
    QCOMPARE(s.text(4)->text(), QStringLiteral("Civil appeal"));
    QCOMPARE(s.text(3)->text(), QStringLiteral("Facts"));
    QCOMPARE(s.text(5)->text(), QStringLiteral("Issue"));
    QCOMPARE(s.text(6)->text(), QStringLiteral("rule X"));
    QCOMPARE(s.text(7)->text(), QStringLiteral("remarks Y"));
    QCOMPARE(s.rows(0), (QStringList{QStringLiteral("1|Tax|1"), QStringLiteral("2|Civil|2")}));
    QCOMPARE(s.rows(1), QStringList{QStringLiteral("1|High Court|2")});
    QCOMPARE(s.rows(2), QStringList{QStringLiteral("1|Contract Act|s. 73|2")});
    QCOMPARE(s.rows(3).size(), 21);
    QCOMPARE(s.rows(3).mid(0, 3),
             (QStringList{QStringLiteral("1|Justice A"), QStringLiteral("2|Justice B"), QStringLiteral("3|")}));

    // The bench's free rows are not kept: the one name comes back in row 1.
    s.pick(QStringLiteral("2"));
    QCOMPARE(s.entryStates(), kStoredEntry);
    QCOMPARE(s.line(0)->text(), QStringLiteral("2004 SCMR 7"));
    QCOMPARE(s.rows(3).first(), QStringLiteral("1|Justice C"));

    // The last entry is a new citation again: an empty record, the date left as it was.
    s.pick(QStringLiteral("3"));
    QCOMPARE(s.entryStates(), kNewEntry);
    QCOMPARE(s.line(0)->text(), QString());
    QCOMPARE(s.text(1)->text(), QString());
    QVERIFY(s.rows(0).isEmpty());
    QCOMPARE(s.rows(3).size(), 21);
    QCOMPARE(s.rows(3).first(), QStringLiteral("1|"));
    QCOMPARE(s.date()->date(), QDate(2003, 3, 1));
    QVERIFY(MessageBox::shown().isEmpty());
    QVERIFY(pointerIsBack());
}

void TestCitationScreen::noChangesNothingAndBlankCitationIsRefused()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addMasters(t));
    QCOMPARE(store(t, sample(QStringLiteral("PLD 2003 SC 5"))), 1);
    const Screen s = Screen::open(t.ctx());

    // A citation of blanks: refused before anything is asked.
    s.line(0)->setText(QStringLiteral("   "));
    s.text(1)->setText(QStringLiteral("kept"));
    s.button(2)->click();
    const QList<MessageBox::Shown> refused = takeShown();
    QCOMPARE(refused.size(), 1);
    QCOMPARE(refused.first().text, QStringLiteral("Please enter the citation."));
    QCOMPARE(refused.first().title, QStringLiteral("Lexorium"));
    QCOMPARE(refused.first().icon, MessageBox::Icon::Information);
    QCOMPARE(count(t, QStringLiteral("case_master")), 1);
    QCOMPARE(s.text(1)->text(), QStringLiteral("kept"));

    // Add answered No.
    s.line(0)->setText(QStringLiteral("2005 CLC 9"));
    QStringList before = formState(s);
    MessageBox::setNextAnswer(MessageBox::Answer::No);
    s.button(2)->click();
    const QList<MessageBox::Shown> asked = takeShown();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().text, QStringLiteral("Do you wish to add the citation?"));
    QCOMPARE(asked.first().icon, MessageBox::Icon::Question);
    QCOMPARE(asked.first().buttons, MessageBox::Buttons::YesNo);
    QCOMPARE(asked.first().title, QStringLiteral("Lexorium"));
    QCOMPARE(count(t, QStringLiteral("case_master")), 1);
    QCOMPARE(formState(s), before);
    QCOMPARE(s.entryStates(), kNewEntry);

    // Modify and Delete answered No.
    s.pick(QStringLiteral("1"));
    s.line(2)->setText(QStringLiteral("Changed title"));
    before = formState(s);
    MessageBox::setNextAnswer(MessageBox::Answer::No);
    s.button(3)->click();
    QCOMPARE(onlyMessage(), QStringLiteral("Do you wish to modify the citation?"));
    QCOMPARE(t.scalar(QStringLiteral("SELECT c_case FROM case_master WHERE case_id = 1")).toString(),
             QStringLiteral("O'Neil v. State"));
    QCOMPARE(formState(s), before);

    MessageBox::setNextAnswer(MessageBox::Answer::No);
    s.button(4)->click();
    QCOMPARE(onlyMessage(), QStringLiteral("Do you want to delete selected citation?"));
    QCOMPARE(count(t, QStringLiteral("case_master")), 1);
    QCOMPARE(formState(s), before);
    QCOMPARE(s.entryStates(), kStoredEntry);

    // Modify refuses a blank citation too.
    s.line(0)->clear();
    s.button(3)->click();
    QCOMPARE(onlyMessage(), QStringLiteral("Please enter the citation."));
    QCOMPARE(t.scalar(QStringLiteral("SELECT citation FROM case_master WHERE case_id = 1")).toString(),
             QStringLiteral("PLD 2003 SC 5"));
    QVERIFY(pointerIsBack());
}

void TestCitationScreen::addStoresAndResets()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addMasters(t));
    const Screen s = Screen::open(t.ctx());

    s.line(0)->setText(QStringLiteral("PLD 2003 SC 5"));
    s.line(2)->setText(QStringLiteral("  Owner's case  "));
    s.date()->setDate(QDate(2003, 3, 5));
    s.text(1)->setText(QStringLiteral("judgment"));
    s.text(4)->setText(QStringLiteral("nature"));
    s.text(3)->setText(QStringLiteral("facts"));
    s.text(5)->setText(QStringLiteral("issue"));
    s.text(6)->setText(QStringLiteral("rule X"));
    s.text(7)->setText(QStringLiteral("remarks Y"));
    // A category chosen, one left at "(None)"; a court; an Act with its section; two bench names.
    s.altKey(Qt::Key_E);
    QTRY_COMPARE(s.list(0)->topLevelItemCount(), 1);
    s.combo(1)->setCurrentIndex(s.combo(1)->findText(QStringLiteral("Civil")));
    s.altKey(Qt::Key_E);
    QTRY_COMPARE(s.list(0)->topLevelItemCount(), 2);
    s.altKey(Qt::Key_R);
    QTRY_COMPARE(s.list(1)->topLevelItemCount(), 1);
    s.combo(2)->setCurrentIndex(s.combo(2)->findText(QStringLiteral("Supreme Court")));
    s.altKey(Qt::Key_T);
    QTRY_COMPARE(s.list(2)->topLevelItemCount(), 1);
    s.combo(3)->setCurrentIndex(s.combo(3)->findText(QStringLiteral("Contract Act")));
    QTest::keyClicks(s.line(8), QStringLiteral("s. 73"));
    s.clickRow(3, 1);
    QTest::keyClicks(s.line(9), QStringLiteral("Justice B"));
    s.clickRow(3, 4);
    QTest::keyClicks(s.line(9), QStringLiteral("Justice E"));
    QCOMPARE(s.rows(0), (QStringList{QStringLiteral("1|Civil|2"), QStringLiteral("2|(None)|0")}));

    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(2)->click();
    QCOMPARE(onlyMessage(), QStringLiteral("Do you wish to add the citation?"));

    // Stored: the title and texts trimmed, the day as picked, placeholders left out, bench names in order.
    QCOMPARE(count(t, QStringLiteral("case_master")), 1);
    QCOMPARE(t.scalar(QStringLiteral("SELECT citation FROM case_master WHERE case_id = 1")).toString(),
             QStringLiteral("PLD 2003 SC 5"));
    QCOMPARE(t.scalar(QStringLiteral("SELECT c_case FROM case_master WHERE case_id = 1")).toString(),
             QStringLiteral("Owner's case"));
    QCOMPARE(t.scalar(QStringLiteral("SELECT dt_of_judgment FROM case_master WHERE case_id = 1")).toDate(),
             QDate(2003, 3, 5));
    QCOMPARE(count(t, QStringLiteral("cmd_category_master")), 1);
    QCOMPARE(t.scalar(QStringLiteral("SELECT cat_id FROM cmd_category_master WHERE cmd_id = 1")).toInt(), 2);
    QCOMPARE(t.scalar(QStringLiteral("SELECT court_id FROM cmd_court_master WHERE cmd_id = 1")).toInt(), 1);
    QCOMPARE(t.scalar(QStringLiteral("SELECT act_id FROM cmd_act_master WHERE cmd_id = 1")).toInt(), 2);
    QCOMPARE(t.scalar(QStringLiteral("SELECT section FROM cmd_act_master WHERE cmd_id = 1")).toString(),
             QStringLiteral("s. 73"));
    QCOMPARE(count(t, QStringLiteral("cm_bench_name")), 2);
    QCOMPARE(t.scalar(QStringLiteral("SELECT bench_name FROM cm_bench_name WHERE id = 2")).toString(),
             QStringLiteral("Justice E"));

    // And the form is a new citation again, dated today.
    QCOMPARE(s.caseIdItems(), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    QCOMPARE(s.caseIds()->currentText(), QStringLiteral("2"));
    QCOMPARE(s.entryStates(), kNewEntry);
    QCOMPARE(s.line(0)->text(), QString());
    QCOMPARE(s.line(2)->text(), QString());
    for (int i : {1, 3, 4, 5, 6, 7})
        QCOMPARE(s.text(i)->text(), QString());
    for (int i : {0, 1, 2})
        QVERIFY(s.rows(i).isEmpty());
    QCOMPARE(s.rows(3).size(), 21);
    QCOMPARE(s.rows(3).at(1), QStringLiteral("2|"));
    for (int i : {1, 2, 3}) {
        QCOMPARE(s.combo(i)->currentIndex(), 0);
        QVERIFY(!s.combo(i)->isVisible());
    }
    QVERIFY(!s.line(8)->isVisible());
    QVERIFY(!s.line(9)->isVisible());
    QCOMPARE(s.date()->date(), QDate(2024, 7, 19));
    QVERIFY(pointerIsBack());
}

void TestCitationScreen::modifyRewritesAndReturnsToNew()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addMasters(t));
    QCOMPARE(store(t, sample(QStringLiteral("PLD 2003 SC 5"))), 1);
    const Screen s = Screen::open(t.ctx());
    s.pick(QStringLiteral("1"));

    s.line(2)->setText(QStringLiteral("Renamed case"));
    // Tax removed: Civil is category 1 now.
    s.clickRow(0, 0);
    QTest::keyClick(s.list(0), Qt::Key_Delete);
    QCOMPARE(s.rows(0), QStringList{QStringLiteral("1|Civil|2")});
    s.clickRow(2, 0);
    QVERIFY(s.line(8)->isVisible());
    s.line(8)->selectAll();
    QTest::keyClicks(s.line(8), QStringLiteral("s. 74"));
    QCOMPARE(s.rows(2), QStringList{QStringLiteral("1|Contract Act|s. 74|2")});

    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(3)->click();
    QCOMPARE(onlyMessage(), QStringLiteral("Do you wish to modify the citation?"));
    QCOMPARE(t.scalar(QStringLiteral("SELECT c_case FROM case_master WHERE case_id = 1")).toString(),
             QStringLiteral("Renamed case"));
    // Loaded, then changed: the day becomes the first of the month.
    QCOMPARE(t.scalar(QStringLiteral("SELECT dt_of_judgment FROM case_master WHERE case_id = 1")).toDate(),
             QDate(2003, 3, 1));
    QCOMPARE(count(t, QStringLiteral("cmd_category_master")), 1);
    QCOMPARE(t.scalar(QStringLiteral("SELECT cat_id FROM cmd_category_master")).toInt(), 2);
    QCOMPARE(t.scalar(QStringLiteral("SELECT section FROM cmd_act_master")).toString(), QStringLiteral("s. 74"));

    // Back on a new citation, focus on Close, still open.
    QVERIFY(s.dialog->isVisible());
    QCOMPARE(s.caseIds()->currentText(), QStringLiteral("2"));
    QCOMPARE(s.entryStates(), kNewEntry);
    QCOMPARE(s.line(2)->text(), QString());
    QCOMPARE(s.dialog->focusWidget(), s.button(0));
    QVERIFY(!s.line(8)->isVisible());

    // A case stored without a date shows none and keeps none when changed.
    Citation undated = sample(QStringLiteral("2006 YLR 3"));
    undated.judgmentDate = QDate();
    QCOMPARE(store(t, undated), 2);
    s.button(0)->click();
    const Screen again = Screen::open(t.ctx());
    again.pick(QStringLiteral("2"));
    QCOMPARE(again.date()->text().trimmed(), QString());
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    again.button(3)->click();
    QCOMPARE(onlyMessage(), QStringLiteral("Do you wish to modify the citation?"));
    QVERIFY(t.scalar(QStringLiteral("SELECT dt_of_judgment FROM case_master WHERE case_id = 2")).isNull());
    QVERIFY(pointerIsBack());
}

void TestCitationScreen::deleteRemovesAndVanishedCaseIsReported()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addMasters(t));
    QCOMPARE(store(t, sample(QStringLiteral("PLD 2003 SC 5"))), 1);
    QCOMPARE(store(t, sample(QStringLiteral("2004 SCMR 7"))), 2);
    const Screen s = Screen::open(t.ctx());

    s.pick(QStringLiteral("1"));
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(4)->click();
    QCOMPARE(onlyMessage(), QStringLiteral("Do you want to delete selected citation?"));
    QCOMPARE(count(t, QStringLiteral("case_master")), 1);
    QCOMPARE(count(t, QStringLiteral("cm_judgment_master")), 1);
    QCOMPARE(count(t, QStringLiteral("category_master")), 2);
    QCOMPARE(s.caseIdItems(), (QStringList{QStringLiteral("2"), QStringLiteral("3")}));
    QCOMPARE(s.entryStates(), kNewEntry);
    QCOMPARE(s.line(0)->text(), QString());
    QCOMPARE(s.dialog->focusWidget(), s.button(0));

    // Deleted by another program while shown: said so, and "Sr. No" no longer offers it.
    s.pick(QStringLiteral("2"));
    {
        DbSession other(t.ctx());
        QVERIFY(!CitationStore(other).remove(2));
    }
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(4)->click();
    const QList<MessageBox::Shown> shown = takeShown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.at(1).text, CitationStore::vanishedMessage(2));
    QCOMPARE(s.caseIdItems(), QStringList{QStringLiteral("1")});
    QCOMPARE(s.entryStates(), kNewEntry);

    // Picking a case deleted meanwhile says so too, instead of showing an empty record as stored.
    QCOMPARE(store(t, sample(QStringLiteral("2005 CLC 1"))), 1);
    QCOMPARE(store(t, sample(QStringLiteral("2005 CLC 2"))), 2);
    s.button(0)->click();
    const Screen again = Screen::open(t.ctx());
    {
        DbSession other(t.ctx());
        QVERIFY(!CitationStore(other).remove(1));
    }
    again.pick(QStringLiteral("1"));
    QCOMPARE(onlyMessage(), CitationStore::vanishedMessage(1));
    QCOMPARE(again.caseIdItems(), (QStringList{QStringLiteral("2"), QStringLiteral("3")}));
    QCOMPARE(again.entryStates(), kNewEntry);
    QVERIFY(pointerIsBack());
}

void TestCitationScreen::readOnlyMode()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addMasters(t));
    QCOMPARE(store(t, sample(QStringLiteral("PLD 2003 SC 5"))), 1);
    QCOMPARE(store(t, sample(QStringLiteral("2004 SCMR 7"))), 2);
    const Screen s = Screen::open(t.ctx(), CitationScreen::Mode::ReadOnly, 2);
    QVERIFY(MessageBox::shown().isEmpty());

    QCOMPARE(s.caseIds()->currentText(), QStringLiteral("2"));
    QVERIFY(!s.caseIds()->isEnabled());
    QCOMPARE(s.line(0)->text(), QStringLiteral("2004 SCMR 7"));
    // Only Close and Save Report.
    QCOMPARE(s.enabled(), (QList<bool>{true, false, false, false, false, true, false, false, false}));
    QVERIFY(s.line(0)->isReadOnly());
    QVERIFY(s.line(2)->isReadOnly());
    QVERIFY(s.date()->isReadOnly());
    for (int i : {1, 3, 4, 5, 6, 7})
        QVERIFY(s.text(i)->isReadOnly());

    // The lists cannot be changed: no editor opens, no row is added or removed.
    const QStringList categories = s.rows(0);
    s.altKey(Qt::Key_E);
    QTest::qWait(150);
    s.clickRow(0, 0);
    QVERIFY(!s.combo(1)->isVisible());
    QTest::keyClick(s.list(0), Qt::Key_Delete);
    QCOMPARE(s.rows(0), categories);
    s.clickRow(3, 0);
    QVERIFY(!s.line(9)->isVisible());

    // Save Report works on the case shown.
    qint64 exported = 0;
    s.dialog->setExportHook([&](DbSession&, qint64 caseId, const QString&, CitationScreen::ReportFormat) {
        exported = caseId;
        return Error();
    });
    QTemporaryDir dir;
    FileDialog::setNextFileName(dir.filePath(QStringLiteral("case.txt")));
    s.button(5)->click();
    QCOMPARE(exported, 2);
    QCOMPARE(onlyMessage(), QStringLiteral("The report has been stored in ") +
                                QDir::toNativeSeparators(dir.filePath(QStringLiteral("case.txt"))));

    s.button(0)->click();
    QVERIFY(!s.dialog->isVisible());
    QCOMPARE(count(t, QStringLiteral("cmd_category_master")), 4);
}

void TestCitationScreen::forChangeModeClosesAfterModify()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addMasters(t));
    QCOMPARE(store(t, sample(QStringLiteral("PLD 2003 SC 5"))), 1);
    QCOMPARE(store(t, sample(QStringLiteral("2004 SCMR 7"))), 2);
    const Screen s = Screen::open(t.ctx(), CitationScreen::Mode::ForChange, 2);
    QVERIFY(MessageBox::shown().isEmpty());

    QCOMPARE(s.caseIds()->currentText(), QStringLiteral("2"));
    QVERIFY(!s.caseIds()->isEnabled());
    QCOMPARE(s.line(0)->text(), QStringLiteral("2004 SCMR 7"));
    // Add and Delete off; Modify, Save Report, Help, Close and the list keys on.
    QCOMPARE(s.enabled(), (QList<bool>{true, true, false, true, false, true, true, true, true}));

    // A change the store refuses keeps the screen open with what was typed.
    s.text(5)->setText(QString(8000, QLatin1Char('x')));
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(3)->click();
    QCOMPARE(takeShown().size(), 2);
    QVERIFY(s.dialog->isVisible());
    QCOMPARE(s.text(5)->text().size(), 8000);

    s.text(5)->setText(QStringLiteral("short issue"));
    s.line(2)->setText(QStringLiteral("Changed"));
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(3)->click();
    QCOMPARE(onlyMessage(), QStringLiteral("Do you wish to modify the citation?"));
    QCOMPARE(t.scalar(QStringLiteral("SELECT c_case FROM case_master WHERE case_id = 2")).toString(),
             QStringLiteral("Changed"));
    QVERIFY(!s.dialog->isVisible());
    QCOMPARE(s.dialog->result(), int(QDialog::Accepted));
    QVERIFY(pointerIsBack());

    // Opened on a case that is gone: said so, nothing to change.
    const Screen gone = Screen::open(t.ctx(), CitationScreen::Mode::ForChange, 7);
    QCOMPARE(onlyMessage(), CitationStore::vanishedMessage(7));
    QCOMPARE(gone.entryStates(), (QList<bool>{false, false, false, false}));
}

void TestCitationScreen::listEditingKeys()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addMasters(t));
    const Screen s = Screen::open(t.ctx());

    // Alt+E: a row "(None)" with id 0, selected, its chooser open on it with the focus.
    s.altKey(Qt::Key_E);
    QTRY_COMPARE(s.rows(0), QStringList{QStringLiteral("1|(None)|0")});
    QCOMPARE(s.list(0)->currentItem(), s.list(0)->topLevelItem(0));
    QVERIFY(s.combo(1)->isVisible());
    QTRY_VERIFY(s.combo(1)->hasFocus());
    const QRect row = s.list(0)->visualItemRect(s.list(0)->topLevelItem(0));
    QCOMPARE(s.combo(1)->geometry().top(), row.top());
    QCOMPARE(s.combo(1)->geometry().left(), s.list(0)->header()->sectionViewportPosition(1));
    QCOMPARE(s.combo(1)->width(), s.list(0)->columnWidth(1));

    // Choosing writes name and id into the row at once.
    s.combo(1)->setCurrentIndex(2);
    QCOMPARE(s.rows(0), QStringList{QStringLiteral("1|Civil|2")});
    s.altKey(Qt::Key_E);
    QTRY_COMPARE(s.list(0)->topLevelItemCount(), 2);
    QCOMPARE(s.rows(0).at(1), QStringLiteral("2|(None)|0"));
    QCOMPARE(s.combo(1)->currentIndex(), 0);
    s.combo(1)->setCurrentIndex(1);
    s.altKey(Qt::Key_E);
    QTRY_COMPARE(s.list(0)->topLevelItemCount(), 3);
    QCOMPARE(s.rows(0),
             (QStringList{QStringLiteral("1|Civil|2"), QStringLiteral("2|Tax|1"), QStringLiteral("3|(None)|0")}));

    // Clicking a row opens the chooser on it, showing its name; arrowing down moves it along.
    s.clickRow(0, 0);
    QVERIFY(s.combo(1)->isVisible());
    QCOMPARE(s.combo(1)->currentText(), QStringLiteral("Civil"));
    QCOMPARE(s.rows(0).at(0), QStringLiteral("1|Civil|2"));
    s.list(0)->setFocus();
    QTest::keyClick(s.list(0), Qt::Key_Down);
    QCOMPARE(s.list(0)->currentItem(), s.list(0)->topLevelItem(1));
    QCOMPARE(s.combo(1)->currentText(), QStringLiteral("Tax"));
    QCOMPARE(s.combo(1)->geometry().top(), s.list(0)->visualItemRect(s.list(0)->topLevelItem(1)).top());

    // Delete removes the selected row and numbers the rest again.
    s.clickRow(0, 0);
    QTest::keyClick(s.list(0), Qt::Key_Delete);
    QCOMPARE(s.rows(0), (QStringList{QStringLiteral("1|Tax|1"), QStringLiteral("2|(None)|0")}));
    QTest::keyClick(s.list(0), Qt::Key_Delete);
    QTest::keyClick(s.list(0), Qt::Key_Delete);
    QVERIFY(s.rows(0).isEmpty());
    QCOMPARE(s.combo(1)->currentText(), QStringLiteral("(None)"));
    QVERIFY(!s.combo(1)->isVisible());

    // Alt+R for courts; Alt+T for Acts opens the chooser and the section editor.
    s.altKey(Qt::Key_R);
    QTRY_COMPARE(s.rows(1), QStringList{QStringLiteral("1|(None)|0")});
    QVERIFY(s.combo(2)->isVisible());
    s.altKey(Qt::Key_T);
    QTRY_COMPARE(s.rows(2), QStringList{QStringLiteral("1|(None)||0")});
    QVERIFY(s.combo(3)->isVisible());
    QVERIFY(s.line(8)->isVisible());
    QCOMPARE(s.line(8)->geometry().left(), s.list(2)->header()->sectionViewportPosition(2));
    s.combo(3)->setCurrentIndex(1);
    // What is typed shows in the row at every key.
    QTest::keyClicks(s.line(8), QStringLiteral("S"));
    QCOMPARE(s.rows(2), QStringList{QStringLiteral("1|Income Tax Ordinance|S|1")});
    QTest::keyClicks(s.line(8), QStringLiteral(". 5"));
    QCOMPARE(s.rows(2), QStringList{QStringLiteral("1|Income Tax Ordinance|S. 5|1")});

    // The bench: a click puts the editor on the row with the focus; rows cannot be removed.
    s.clickRow(3, 2);
    QVERIFY(s.line(9)->isVisible());
    QTRY_VERIFY(s.line(9)->hasFocus());
    QTest::keyClicks(s.line(9), QStringLiteral("Justice C"));
    QCOMPARE(s.rows(3).at(2), QStringLiteral("3|Justice C"));
    s.list(3)->setFocus();
    QTest::keyClick(s.list(3), Qt::Key_Delete);
    QCOMPARE(s.rows(3).size(), 21);
    QCOMPARE(s.rows(3).at(2), QStringLiteral("3|Justice C"));
    // Another row: the editor moves there with that row's (empty) name; the first keeps what was typed.
    s.clickRow(3, 3);
    QCOMPARE(s.line(9)->text(), QString());
    QCOMPARE(s.rows(3).at(2), QStringLiteral("3|Justice C"));
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestCitationScreen::citationRefusesPunctuation()
{
    LEX_USE_DATABASE(t, true);
    const Screen s = Screen::open(t.ctx());
    QLineEdit* citation = s.line(0);
    citation->setFocus();

    // Typed: each of the 22 is refused, everything else is taken.
    const QString refused = QStringLiteral("!\"#$%&*+,-/:;=?@\\^_`|~");
    QCOMPARE(refused.size(), 22);
    for (QChar c : refused) {
        QTest::keyClicks(citation, QString(c));
        QVERIFY2(citation->text().isEmpty(), qPrintable(QString(c)));
    }
    QTest::keyClicks(citation, QStringLiteral("PLD 2003 SC (5). 'A' [B] {C} <D>"));
    QCOMPARE(citation->text(), QStringLiteral("PLD 2003 SC (5). 'A' [B] {C} <D>"));

    // Pasted: a text holding one of them is refused whole.
    citation->clear();
    QGuiApplication::clipboard()->setText(QStringLiteral("PLD 2003, SC 5"));
    citation->paste();
    QCOMPARE(citation->text(), QString());
    QGuiApplication::clipboard()->setText(QStringLiteral("PLD 2003 SC 5"));
    citation->paste();
    QCOMPARE(citation->text(), QStringLiteral("PLD 2003 SC 5"));

    // The other boxes take any character.
    QTest::keyClicks(s.line(2), QStringLiteral("A, B & C - D"));
    QCOMPARE(s.line(2)->text(), QStringLiteral("A, B & C - D"));

    // A stored citation holding one still shows whole and can be edited; a new one is still refused.
    QVERIFY(addMasters(t));
    QCOMPARE(store(t, sample(QStringLiteral("PLD 2003-SC 5"))), 1);
    s.button(0)->click();
    const Screen loaded = Screen::open(t.ctx());
    loaded.pick(QStringLiteral("1"));
    QCOMPARE(loaded.line(0)->text(), QStringLiteral("PLD 2003-SC 5"));
    loaded.line(0)->setFocus();
    loaded.line(0)->end(false);
    QTest::keyClicks(loaded.line(0), QStringLiteral(",6"));
    QCOMPARE(loaded.line(0)->text(), QStringLiteral("PLD 2003-SC 56"));
    QTest::keyClick(loaded.line(0), Qt::Key_Backspace);
    QCOMPARE(loaded.line(0)->text(), QStringLiteral("PLD 2003-SC 5"));
}

void TestCitationScreen::longTextsRefuseWhatPassesTheirLimit()
{
    LEX_USE_DATABASE(t, true);
    const Screen s = Screen::open(t.ctx());
    LongTextEdit* judgment = s.text(1);
    judgment->setFocus();
    judgment->insertPlainText(QString(7890, QLatin1Char('a')));
    // A paste that would pass the limit keeps what fits.
    judgment->insertPlainText(QString(20, QLatin1Char('b')));
    QCOMPARE(judgment->text().size(), 7900);
    QVERIFY(judgment->text().endsWith(QString(10, QLatin1Char('b'))));
    QTest::keyClicks(judgment, QStringLiteral("c"));
    QCOMPARE(judgment->text().size(), 7900);
    QVERIFY(!judgment->text().contains(QLatin1Char('c')));
    QCOMPARE(judgment->counter()->text(), QStringLiteral("7,900 / 7,900 (1 character left out)"));
    // The issue holds no more than the store takes either.
    s.text(5)->insertPlainText(QString(8000, QLatin1Char('i')));
    QCOMPARE(s.text(5)->text().size(), 7900);
}

void TestCitationScreen::pasteBeyondTheLimitIsCutAndSaid_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("counter");

    const QString face = QString::fromUtf8("\xF0\x9F\x98\x80"); // outside the basic plane: two UTF-16 units
    const auto faces = [&](int n) {
        return face.repeated(n);
    };
    const QString a(7900, QLatin1Char('a'));
    QTest::newRow("plain, over") << QString() << 0 << a + QStringLiteral("bcd") << a
                                 << QStringLiteral("7,900 / 7,900 (3 characters left out)");
    QTest::newRow("4,000 faces fit") << QString() << 0 << faces(4000) << faces(4000) << QStringLiteral("4,000 / 7,900");
    QTest::newRow("faces, over") << QString() << 0 << faces(8000) << faces(7900)
                                 << QStringLiteral("7,900 / 7,900 (100 characters left out)");
    // Into a text already there: only the paste's end is left out, never what was there, never half a character.
    QTest::newRow("faces, into a text") << QStringLiteral("abc") << 1 << faces(7899)
                                        << QLatin1Char('a') + faces(7897) + QStringLiteral("bc")
                                        << QStringLiteral("7,900 / 7,900 (2 characters left out)");
    QTest::newRow("mixed, line breaks") << QStringLiteral("x") << 1 << (QStringLiteral("p\n") + face).repeated(3000)
                                        << QLatin1Char('x') + (QStringLiteral("p\n") + face).repeated(2633)
                                        << QStringLiteral("7,900 / 7,900 (1,101 characters left out)");
}

// A paste through the clipboard into each of the six boxes; what is kept is stored as it is shown.
void TestCitationScreen::pasteBeyondTheLimitIsCutAndSaid()
{
    QFETCH(QString, before);
    QFETCH(int, cursor);
    QFETCH(QString, pasted);
    QFETCH(QString, kept);
    QFETCH(QString, counter);
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QTextCursor|out of range")));
    LEX_USE_DATABASE(t, true);
    const Screen s = Screen::open(t.ctx());
    s.line(0)->setText(QStringLiteral("PLD 2003 SC 5"));
    QGuiApplication::clipboard()->setText(pasted);
    for (int i : {1, 3, 4, 5, 6, 7}) {
        LongTextEdit* box = s.text(i);
        QSignalSpy cut(box, &LongTextEdit::inputCut);
        box->setFocus();
        box->setText(before);
        QTextCursor at = box->textCursor();
        at.setPosition(cursor);
        box->setTextCursor(at);
        box->paste();
        QCOMPARE(box->text(), kept);
        QCOMPARE(box->counter()->text(), counter);
        QCOMPARE(cut.size(), counter.contains(QLatin1String("left out")) ? 1 : 0);
        // Undo takes back the paste and its cut together.
        box->undo();
        QCOMPARE(box->text(), before);
        box->redo();
        QCOMPARE(box->text(), kept);
    }
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(2)->click();
    QCOMPARE(onlyMessage(), QStringLiteral("Do you wish to add the citation?"));
    DbSession session(t.ctx());
    const Result<Citation> stored = CitationStore(session).load(1);
    QVERIFY2(stored, qPrintable(stored.error().description));
    for (const QString& text : stored->texts)
        QCOMPARE(text, kept);
}

// A question whose Yes deletes or replaces has No as its default, so that Enter keeps what is there; the file
// dialog leaves the replace question to the screen, which asks it once.
void TestCitationScreen::destructiveQuestionsDefaultToNo()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addMasters(t));
    QCOMPARE(store(t, sample(QStringLiteral("PLD 2003 SC 5"))), 1);
    const Screen s = Screen::open(t.ctx());
    s.pick(QStringLiteral("1"));
    // Modify overwrites the stored citation.
    MessageBox::setNextAnswer(MessageBox::Answer::No);
    s.button(3)->click();
    QList<MessageBox::Shown> shown = takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().text, QStringLiteral("Do you wish to modify the citation?"));
    QCOMPARE(shown.first().defaultButton, MessageBox::Answer::No);

    s.button(4)->click();
    shown = takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().text, QStringLiteral("Do you want to delete selected citation?"));
    QCOMPARE(shown.first().defaultButton, MessageBox::Answer::No);
    QCOMPARE(count(t, QStringLiteral("case_master")), 1);

    QTemporaryDir dir;
    QFile existing(dir.filePath(QStringLiteral("d.txt")));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.close();
    FileDialog::setNextFileName(existing.fileName());
    s.button(5)->click();
    shown = takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().text, QStringLiteral("The file already exits, do you want to replace it?"));
    QCOMPARE(shown.first().defaultButton, MessageBox::Answer::No);
    QCOMPARE(FileDialog::asked().size(), 1);
    QVERIFY(!FileDialog::asked().first().dialogAsksToReplace);
}

void TestCitationScreen::failedWritesKeepTheForm()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addMasters(t));
    const Screen s = Screen::open(t.ctx());

    // An issue over 7900 characters: the store's message, nothing stored, the form as it was.
    s.line(0)->setText(QStringLiteral("PLD 2003 SC 5"));
    s.text(5)->setText(QString(7901, QLatin1Char('i')));
    s.altKey(Qt::Key_E);
    QTRY_COMPARE(s.list(0)->topLevelItemCount(), 1);
    s.combo(1)->setCurrentIndex(2);
    s.clickRow(3, 0);
    QTest::keyClicks(s.line(9), QStringLiteral("Justice A"));
    const QStringList before = formState(s);
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(2)->click();
    QList<MessageBox::Shown> shown = takeShown();
    QCOMPARE(shown.size(), 2);
    QVERIFY2(shown.at(1).text.contains(QLatin1String("Issue")), qPrintable(shown.at(1).text));
    QCOMPARE(shown.at(1).icon, MessageBox::Icon::Information);
    QCOMPARE(count(t, QStringLiteral("case_master")), 0);
    QCOMPARE(formState(s), before);
    QCOMPARE(s.entryStates(), kNewEntry);
    QVERIFY(pointerIsBack());

    // A category deleted by another program since it was chosen: the database refuses, nothing is stored.
    s.text(5)->setText(QStringLiteral("issue"));
    QVERIFY(t.exec(QStringLiteral("DELETE FROM category_master WHERE id = 2")));
    const QStringList chosen = formState(s);
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(2)->click();
    shown = takeShown();
    QCOMPARE(shown.size(), 2);
    QVERIFY(!shown.at(1).text.isEmpty());
    QCOMPARE(shown.at(1).text,
             QStringLiteral("The category \"Civil\" was deleted by another user; nothing was stored."));
    for (const QString& table : {QStringLiteral("case_master"), QStringLiteral("cm_judgment_master"),
                                 QStringLiteral("cm_bench_name"), QStringLiteral("cmd_category_master")})
        QCOMPARE(count(t, table), 0);
    QCOMPARE(formState(s), chosen);

    // Without the category it goes in.
    s.clickRow(0, 0);
    QTest::keyClick(s.list(0), Qt::Key_Delete);
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(2)->click();
    QCOMPARE(onlyMessage(), QStringLiteral("Do you wish to add the citation?"));
    QCOMPARE(count(t, QStringLiteral("case_master")), 1);
    QCOMPARE(s.line(0)->text(), QString());

    // A failed change keeps the record too.
    s.pick(QStringLiteral("1"));
    s.line(2)->setText(QStringLiteral("Changed"));
    s.text(1)->setText(QString(7901, QLatin1Char('j')));
    const QStringList loaded = formState(s);
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(3)->click();
    shown = takeShown();
    QCOMPARE(shown.size(), 2);
    QVERIFY2(shown.at(1).text.contains(QLatin1String("Judgment")), qPrintable(shown.at(1).text));
    QCOMPARE(formState(s), loaded);
    QCOMPARE(s.entryStates(), kStoredEntry);
    QVERIFY(t.scalar(QStringLiteral("SELECT c_case FROM case_master WHERE case_id = 1")).toString() !=
            QLatin1String("Changed"));
    QVERIFY(pointerIsBack());
}

// Another user changed the citation shown: Modify and Delete say so and offer to reload it; No keeps the screen as
// it is, Yes shows the stored citation, which can then be changed or deleted.
void TestCitationScreen::staleScreenIsToldAndOffersReload()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addMasters(t));
    QCOMPARE(store(t, sample(QStringLiteral("PLD 2003 SC 5"))), 1);
    QCOMPARE(store(t, sample(QStringLiteral("2004 SCMR 7"))), 2);
    const auto changeElsewhere = [&](qint64 id, const QString& judgment) {
        DbSession other(t.ctx());
        const CitationStore elsewhere(other);
        const Citation loaded = *elsewhere.load(id);
        Citation changed = loaded;
        changed.text(Citation::Judgment) = judgment;
        return !elsewhere.modify(loaded, changed);
    };
    const auto stored = [&](const char* column, qint64 id) {
        return t
            .scalar(QStringLiteral("SELECT %1 FROM case_master, cm_judgment_master, cm_remarks_master "
                                   "WHERE judgment_id = cm_judgment_master.id AND remarks_id = cm_remarks_master.id "
                                   "AND case_id = ?")
                        .arg(QLatin1String(column)),
                    {id})
            .toString();
    };
    const Screen s = Screen::open(t.ctx());
    s.pick(QStringLiteral("1"));
    QVERIFY(changeElsewhere(1, QStringLiteral("B's judgment")));
    const QString question =
        CitationStore::changedMessage(1, false) + QStringLiteral("\n\nDo you wish to reload the citation?");

    // No: nothing stored, the screen as it was.
    s.text(7)->setText(QStringLiteral("A's remarks"));
    const QStringList typed = formState(s);
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    MessageBox::setNextAnswer(MessageBox::Answer::No);
    s.button(3)->click();
    QList<MessageBox::Shown> shown = takeShown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.at(1).text, question);
    QCOMPARE(shown.at(1).icon, MessageBox::Icon::Question);
    QCOMPARE(shown.at(1).buttons, MessageBox::Buttons::YesNo);
    QCOMPARE(shown.at(1).title, QStringLiteral("Lexorium"));
    QCOMPARE(shown.at(1).defaultButton, MessageBox::Answer::No);
    QCOMPARE(formState(s), typed);
    QCOMPARE(s.entryStates(), kStoredEntry);
    QCOMPARE(stored("judgment", 1), QStringLiteral("B's judgment"));
    QCOMPARE(stored("remarks", 1), QStringLiteral("remarks Y"));
    QVERIFY(pointerIsBack());

    // Yes: the stored citation is shown, and a change made on it goes in beside the other user's.
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(3)->click();
    QCOMPARE(takeShown().size(), 2);
    QCOMPARE(s.caseIds()->currentText(), QStringLiteral("1"));
    QCOMPARE(s.text(1)->text(), QStringLiteral("B's judgment"));
    QCOMPARE(s.text(7)->text(), QStringLiteral("remarks Y"));
    QCOMPARE(stored("remarks", 1), QStringLiteral("remarks Y"));
    s.text(7)->setText(QStringLiteral("A's remarks"));
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(3)->click();
    QCOMPARE(onlyMessage(), QStringLiteral("Do you wish to modify the citation?"));
    QCOMPARE(stored("judgment", 1), QStringLiteral("B's judgment"));
    QCOMPARE(stored("remarks", 1), QStringLiteral("A's remarks"));

    // Delete on a changed citation: the same offer, and nothing is deleted until it is shown as stored.
    s.pick(QStringLiteral("2"));
    QVERIFY(changeElsewhere(2, QStringLiteral("changed again")));
    const QStringList shownBefore = formState(s);
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    MessageBox::setNextAnswer(MessageBox::Answer::No);
    s.button(4)->click();
    shown = takeShown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.at(1).text,
             CitationStore::changedMessage(2, true) + QStringLiteral("\n\nDo you wish to reload the citation?"));
    QCOMPARE(count(t, QStringLiteral("case_master")), 2);
    QCOMPARE(formState(s), shownBefore);
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(4)->click();
    QCOMPARE(takeShown().size(), 2);
    QCOMPARE(s.text(1)->text(), QStringLiteral("changed again"));
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(4)->click();
    QCOMPARE(onlyMessage(), QStringLiteral("Do you want to delete selected citation?"));
    QCOMPARE(count(t, QStringLiteral("case_master")), 1);

    QVERIFY(pointerIsBack());
}

// A citation stored with more bench names than the 21 rows shown keeps the others through a change.
void TestCitationScreen::benchNamesBeyondTheShownSurviveModify()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addMasters(t));
    Citation c = sample(QStringLiteral("PLD 2003 SC 5"));
    c.bench.clear();
    for (int i = 1; i <= 21; ++i)
        c.bench << QStringLiteral("Justice %1").arg(i);
    QCOMPARE(store(t, c), 1);
    QVERIFY(t.exec(QStringLiteral("INSERT INTO cm_bench_name (id, bench_name, case_id) VALUES (22, 'Justice 22', 1)")));
    const Screen s = Screen::open(t.ctx());
    s.pick(QStringLiteral("1"));
    QCOMPARE(s.rows(3).size(), 21);
    s.text(7)->setText(QStringLiteral("changed"));
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(3)->click();
    QCOMPARE(onlyMessage(), QStringLiteral("Do you wish to modify the citation?"));
    QCOMPARE(count(t, QStringLiteral("cm_bench_name")), 22);
    QCOMPARE(t.scalar(QStringLiteral("SELECT bench_name FROM cm_bench_name ORDER BY id DESC")).toString(),
             QStringLiteral("Justice 22"));
}

void TestCitationScreen::scrollingHidesTheEditor()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addMasters(t));
    const Screen s = Screen::open(t.ctx());
    QTreeWidget* bench = s.list(3);
    QVERIFY(bench->verticalScrollBar()->maximum() > 0);

    s.clickRow(3, 0);
    QVERIFY(s.line(9)->isVisible());
    bench->verticalScrollBar()->setValue(bench->verticalScrollBar()->maximum());
    QVERIFY(!s.line(9)->isVisible());
    // Typing now changes no row.
    QVERIFY(!s.line(9)->hasFocus());

    // The category chooser, on a list long enough to scroll.
    for (int i = 0; i < 15; ++i) {
        s.altKey(Qt::Key_E);
        QTRY_COMPARE(s.list(0)->topLevelItemCount(), i + 1);
    }
    QVERIFY(s.list(0)->verticalScrollBar()->maximum() > 0);
    QVERIFY(s.combo(1)->isVisible());
    s.list(0)->verticalScrollBar()->setValue(0);
    QVERIFY(!s.combo(1)->isVisible());
    s.combo(1)->setCurrentIndex(1);
    QVERIFY(!s.rows(0).contains(QStringLiteral("15|Tax|1")));
}

void TestCitationScreen::saveReportWritesTheFile()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addMasters(t));
    QCOMPARE(store(t, sample(QStringLiteral("PLD 2003 SC 5"))), 1);
    const Screen s = Screen::open(t.ctx());
    s.pick(QStringLiteral("1"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("case.txt"));
    FileDialog::setNextFileName(path);
    s.button(5)->click();
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    // Dated by the screen's clock, the citation's lines CR LF ended.
    QVERIFY2(bytes.startsWith("Dated:19/07/2024\r\n\r\n\r\nCitation: PLD 2003 SC 5\r\n"), bytes.left(80).constData());
    QCOMPARE(takeShown().last().text,
             QStringLiteral("The report has been stored in ") + QDir::toNativeSeparators(path));
}

void TestCitationScreen::saveReportAsksAndCallsTheExport()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addMasters(t));
    QCOMPARE(store(t, sample(QStringLiteral("PLD 2003 SC 5"))), 1);
    const Screen s = Screen::open(t.ctx());
    s.pick(QStringLiteral("1"));
    struct Call {
        qint64 caseId;
        QString fileName;
        CitationScreen::ReportFormat format;
    };
    QList<Call> calls;
    Error failure;
    bool sessionOpen = false;
    s.dialog->setExportHook(
        [&](DbSession& session, qint64 caseId, const QString& fileName, CitationScreen::ReportFormat format) {
            sessionOpen = session.isOpen();
            calls.append({caseId, fileName, format});
            return failure;
        });
    QTemporaryDir dir;

    // Cancelled: nothing.
    s.button(5)->click();
    QCOMPARE(FileDialog::asked().size(), 1);
    QCOMPARE(FileDialog::asked().first().filter,
             QStringLiteral("Text Document (*.txt);;Excel Document (*.xls);;Excel Workbook (*.xlsx)"));
    QVERIFY(calls.isEmpty());
    QVERIFY(MessageBox::shown().isEmpty());

    // Each kind by its suffix; a name without one gets the chosen filter's.
    FileDialog::setNextFileName(dir.filePath(QStringLiteral("a.XLS")));
    s.button(5)->click();
    FileDialog::setNextFileName(dir.filePath(QStringLiteral("b")), QStringLiteral("Excel Workbook (*.xlsx)"));
    s.button(5)->click();
    FileDialog::setNextFileName(dir.filePath(QStringLiteral("c.txt")));
    s.button(5)->click();
    QCOMPARE(calls.size(), 3);
    QVERIFY(sessionOpen);
    QCOMPARE(calls.at(0).caseId, 1);
    QCOMPARE(calls.at(0).format, CitationScreen::ReportFormat::Xls);
    QCOMPARE(calls.at(1).fileName, dir.filePath(QStringLiteral("b.xlsx")));
    QCOMPARE(calls.at(1).format, CitationScreen::ReportFormat::Xlsx);
    QCOMPARE(calls.at(2).format, CitationScreen::ReportFormat::Text);
    QCOMPARE(takeShown().last().text, QStringLiteral("The report has been stored in ") +
                                          QDir::toNativeSeparators(dir.filePath(QStringLiteral("c.txt"))));

    // An existing file: asked; No writes nothing, Yes replaces.
    QFile existing(dir.filePath(QStringLiteral("d.txt")));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.close();
    calls.clear();
    FileDialog::setNextFileName(existing.fileName());
    MessageBox::setNextAnswer(MessageBox::Answer::No);
    s.button(5)->click();
    QCOMPARE(onlyMessage(), QStringLiteral("The file already exits, do you want to replace it?"));
    QVERIFY(calls.isEmpty());
    FileDialog::setNextFileName(existing.fileName());
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(5)->click();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(takeShown().size(), 2);

    // A failed export is reported, not announced as stored.
    failure = Error::other(QStringLiteral("disk full"));
    FileDialog::setNextFileName(dir.filePath(QStringLiteral("e.txt")));
    s.button(5)->click();
    QCOMPARE(onlyMessage(), QStringLiteral("disk full"));
    QVERIFY(pointerIsBack());
}

void TestCitationScreen::resizingKeepsTheLayout()
{
    LEX_USE_DATABASE(t, true);
    const Screen s = Screen::open(t.ctx());
    QList<QWidget*> controls;
    for (int i = 0; i < 4; ++i)
        controls << s.list(i);
    for (int i : {1, 3, 4, 5, 6, 7})
        controls << s.text(i);
    controls << s.line(0) << s.line(2) << s.caseIds() << s.date() << s.button(0) << s.button(5);
    const auto placeOf = [&](QWidget* w) {
        return QRect(w->mapTo(s.dialog.get(), QPoint(0, 0)), w->size());
    };

    s.dialog->resize(1000, 720);
    QTRY_COMPARE(s.dialog->size(), QSize(1000, 720));
    s.altKey(Qt::Key_T);
    QTRY_VERIFY(s.line(8)->isVisible());
    QList<QRect> small;
    for (QWidget* w : controls)
        small << placeOf(w);
    s.dialog->resize(1500, 1080);
    QTRY_COMPARE(s.dialog->size(), QSize(1500, 1080));
    for (int i = 0; i < controls.size(); ++i) {
        const QRect large = placeOf(controls[i]);
        const QString name = controls[i]->objectName();
        QVERIFY2(QRect(QPoint(0, 0), s.dialog->size()).contains(large), qPrintable(name));
        // Where it was, relative to the window.
        QVERIFY2(qAbs(large.center().x() / 1500.0 - small[i].center().x() / 1000.0) < 0.05, qPrintable(name));
        QVERIFY2(qAbs(large.center().y() / 1080.0 - small[i].center().y() / 720.0) < 0.08, qPrintable(name));
    }
    // The editors open over the Act list follow its columns.
    QTRY_COMPARE(s.line(8)->width(), s.list(2)->header()->sectionSize(2));
    QCOMPARE(s.line(8)->x(), s.list(2)->header()->sectionViewportPosition(2));
    QCOMPARE(s.combo(3)->width(), s.list(2)->header()->sectionSize(1));
    QVERIFY(s.line(8)->isVisible());
    // The lists and long texts grow with the window.
    for (int i = 0; i < 10; ++i) {
        const QRect large = placeOf(controls[i]);
        QVERIFY2(large.width() > small[i].width() * 1.3, qPrintable(controls[i]->objectName()));
        QVERIFY2(large.height() > small[i].height() * 1.3, qPrintable(controls[i]->objectName()));
    }
    // No two of them overlap.
    for (int i = 0; i < controls.size(); ++i)
        for (int j = i + 1; j < controls.size(); ++j)
            QVERIFY2(!placeOf(controls[i]).intersects(placeOf(controls[j])),
                     qPrintable(controls[i]->objectName() + QLatin1Char('/') + controls[j]->objectName()));
}

void TestCitationScreen::mainWindowOpensTheScreen()
{
    LEX_USE_DATABASE(t, true);
    MainWindow w(t.ctx());
    w.show();
    for (const char* name : {"Mnu0001000(0)", "Tb0001(Add Citation)"}) {
        LEX_FIND(action, QAction, &w, QLatin1String(name));
        QVERIFY2(action->isEnabled(), name);
        QString seen;
        bool modal = false;
        bool entry = false;
        QTimer::singleShot(0, [&] {
            QWidget* screen = QApplication::activeModalWidget();
            if (!screen)
                return;
            seen = screen->objectName() + QLatin1Char('/') + screen->windowTitle();
            modal = screen->isModal();
            auto* citation = qobject_cast<CitationScreen*>(screen);
            entry = citation && citation->mode() == CitationScreen::Mode::Entry;
            screen->close();
        });
        action->trigger();
        QCOMPARE(seen, QStringLiteral("CS06000601/Citation"));
        QVERIFY(modal);
        QVERIFY(entry);
        QTRY_VERIFY(!w.findChild<CitationScreen*>());
    }
    QVERIFY(MessageBox::shown().isEmpty());
    QVERIFY(pointerIsBack());
}

void TestCitationScreen::manyCitations()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.exec(QStringLiteral("INSERT INTO case_master (case_id, citation) "
                                  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50000) "
                                  "SELECT i, 'C' FROM n")));
    QElapsedTimer clock;
    clock.start();
    const Screen s = Screen::open(t.ctx());
    const qint64 opened = clock.elapsed();
    QCOMPARE(s.caseIds()->count(), 50001);
    QCOMPARE(s.caseIds()->currentText(), QStringLiteral("50001"));
    QCOMPARE(s.entryStates(), kNewEntry);
    s.caseIds()->setCurrentIndex(s.caseIds()->findText(QStringLiteral("25000")));
    QCOMPARE(s.entryStates(), kStoredEntry);
    qInfo("opened on 50,000 citations in %lld ms", opened);
    // Generous for a loaded machine; filling the list one entry at a time takes far longer.
    QVERIFY2(opened < 10000, qPrintable(QString::number(opened)));
}

QTEST_MAIN(TestCitationScreen)
#include "tst_citation_screen.moc"
