// The Find Citation screen on both engines: its controls and states, the searches it runs off the interface thread,
// Stop, New Search, Save Report, and the citation screen it opens on a hit.
#include "core/citations/citation_store.h"
#include "core/db/db_session.h"
#include "core/search/citation_search.h"
#include "datagen/citation_filler.h"
#include "datagen/citation_generator.h"
#include "gui/citations/citation_screen.h"
#include "gui/common/file_dialog.h"
#include "gui/search/find_citation_screen.h"
#include "gui/shell/main_window.h"
#include "support/gui_test_support.h"
#include "support/test_database.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMovie>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include <memory>

namespace {
const QDate Today(2024, 7, 19);
const QString NoResults = QStringLiteral("Search is Complete. There are no results to be displayed.");

// The controls of one open Find Citation screen, found by their names.
struct Screen {
    std::unique_ptr<FindCitationScreen> dialog;

    static Screen open(const DbContext& ctx)
    {
        Screen s;
        s.dialog = std::make_unique<FindCitationScreen>(ctx);
        s.dialog->setClock([] { return Today; });
        s.dialog->show();
        return s;
    }

    template <typename T> T* find(const QString& name) const
    {
        return findOrFail<T>(dialog.get(), name, __FILE__, __LINE__);
    }
    QPushButton* button(int i) const { return find<QPushButton>(QStringLiteral("Cmd0005(%1)").arg(i)); }
    QCheckBox* option(int i) const { return find<QCheckBox>(QStringLiteral("Chk0005(%1)").arg(i)); }
    QLabel* label(int i) const { return find<QLabel>(QStringLiteral("Lbl0005(%1)").arg(i)); }
    QLineEdit* text() const { return find<QLineEdit>(QStringLiteral("Txt0005")); }
    QComboBox* fields() const { return find<QComboBox>(QStringLiteral("Cbo0005")); }
    QTreeWidget* results() const { return find<QTreeWidget>(QStringLiteral("LV0005")); }
    QString status() const { return label(2)->text(); }

    // Which of Find Now, New Search, Close, Stop, Help and Save Report can be used.
    QList<bool> enabled() const
    {
        QList<bool> out;
        for (int i = 0; i < 6; ++i)
            out << button(i)->isEnabled();
        return out;
    }
    // Every hit as "citation|found in|case id".
    QStringList rows() const
    {
        QStringList out;
        QTreeWidget* list = results();
        for (int r = 0; r < list->topLevelItemCount(); ++r) {
            const QTreeWidgetItem* item = list->topLevelItem(r);
            out << item->text(0) + QLatin1Char('|') + item->text(1) + QLatin1Char('|') +
                       item->data(0, Qt::UserRole).toString();
        }
        return out;
    }
    void lookIn(const QString& choice) const
    {
        const int index = fields()->findText(choice);
        QVERIFY2(index >= 0, qPrintable(choice));
        fields()->setCurrentIndex(index);
    }
    void type(const QString& typed) const { QTest::keyClicks(text(), typed); }
    // Find Now, and the search waited for.
    bool findNow() const
    {
        button(0)->click();
        return waitUntil([this] { return !dialog->isSearching(); }, 60000);
    }
    void select(int row) const { results()->setCurrentItem(results()->topLevelItem(row)); }
};

// Find Now, New Search, Close, Stop, Help, Save Report.
const QList<bool> kIdle{false, true, true, false, true, false};
const QList<bool> kReady{true, true, true, false, true, false};
const QList<bool> kWithHits{true, true, true, false, true, true};
const QList<bool> kSearching{false, false, true, true, true, false};

Citation citation(const QString& text, const QString& title, const QString& judgment)
{
    Citation c;
    c.citation = text;
    c.caseTitle = title;
    c.judgmentDate = QDate(2003, 3, 1);
    c.text(Citation::Judgment) = judgment;
    c.text(Citation::NatureOfCase) = QStringLiteral("Civil appeal");
    c.text(Citation::FactSummary) = QStringLiteral("Facts");
    c.text(Citation::Issue) = QStringLiteral("Issue");
    c.text(Citation::RuleOfLaw) = QStringLiteral("Rule");
    c.text(Citation::Remarks) = QStringLiteral("Remarks");
    return c;
}

// Three citations over the sample masters: 1 "PLD 2003 SC 5", 2 "2004 SCMR 7", 3 "1999 CLC 12".
bool addCitations(const TestDatabase& t)
{
    if (!t.addSampleMasters())
        return false;
    Citation a = citation(QStringLiteral("PLD 2003 SC 5"), QStringLiteral("Ali v. State"),
                          QStringLiteral("Appeal allowed on the income tax point."));
    a.acts = {{1, QStringLiteral("Income Tax Ordinance"), QStringLiteral("s. 122")}};
    a.categories = {{1, QStringLiteral("Tax"), {}}};
    a.bench = {QStringLiteral("Justice Rahim")};
    Citation b = citation(QStringLiteral("2004 SCMR 7"), QStringLiteral("Bano v. Khan"),
                          QStringLiteral("Suit for damages dismissed."));
    b.acts = {{2, QStringLiteral("Contract Act"), QStringLiteral("s. 73")}};
    b.courts = {{1, QStringLiteral("Supreme Court"), {}}};
    Citation c =
        citation(QStringLiteral("1999 CLC 12"), QStringLiteral("Chand v. Din"), QStringLiteral("Petition dismissed."));
    c.categories = {{2, QStringLiteral("Civil"), {}}};
    DbSession session(t.ctx());
    const CitationStore store(session);
    for (const Citation& each : {a, b, c}) {
        const Result<qint64> id = store.add(each);
        if (!id) {
            qWarning("cannot store the fixture: %s", qPrintable(id.error().description));
            return false;
        }
    }
    return true;
}

QList<MessageBox::Shown> takeShown()
{
    const QList<MessageBox::Shown> shown = MessageBox::shown();
    MessageBox::clearShown();
    return shown;
}

bool pointerIsBack()
{
    return QGuiApplication::overrideCursor() == nullptr;
}

// Runs `act` on the next modal window once it is shown, then closes it.
void onNextModal(const std::function<void(QWidget*)>& act, bool* seen)
{
    QTimer::singleShot(0, [act, seen] {
        if (!waitUntil([] { return QApplication::activeModalWidget() != nullptr; }))
            return;
        QWidget* modal = QApplication::activeModalWidget();
        *seen = true;
        act(modal);
        modal->close();
    });
}

bool fillGenerated(const TestDatabase& t, int n)
{
    DbSession session(t.ctx());
    if (CitationFiller::writeMasters(session))
        return false;
    CitationGenerator generator(2026);
    const Error e = CitationFiller::fill(session, generator, n);
    if (e)
        qWarning("cannot fill: %s", qPrintable(e.description));
    return !e;
}
} // namespace

class TestFindCitationScreen : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void controlsCaptionsAndHelp();
    void searchTextAndChoicesClearTheList();
    void leadingBlanksRefusedHoweverTheyCome_data();
    void leadingBlanksRefusedHoweverTheyCome();
    void selectAllFieldsFollowsTheBoxState();
    void enterRunsFindNow();
    void outcomesAndHits();
    void newSearchAsks();
    void saveReportAsks();
    void aChangedCitationLeavesTheListOnTheRerun();
    void aSectionHitStaysAfterTheRerun();
    void stopEndsThePassWithItsHitsAndClosingEndsTheSearch();
    void aFailedSearchIsReported();
    void mainWindowOpensTheScreen();
};

void TestFindCitationScreen::init()
{
    MessageBox::setScripted(true);
    MessageBox::clearShown();
    FileDialog::setScripted(true);
    FileDialog::clearAsked();
}

void TestFindCitationScreen::controlsCaptionsAndHelp()
{
    LEX_USE_DATABASE(t, true);
    const Screen s = Screen::open(t.ctx());
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(s.dialog->objectName(), QStringLiteral("CS06000501"));
    QCOMPARE(s.dialog->windowTitle(), QStringLiteral("Find In Citation"));
    QVERIFY(s.dialog->isModal());

    QCOMPARE(s.label(0)->text(), QStringLiteral("Search Text"));
    QCOMPARE(s.label(1)->text(), QStringLiteral("Look in"));
    QVERIFY(s.label(2)->text().isEmpty());
    const QStringList options{QStringLiteral("Select all fields"), QStringLiteral("Match Case"),
                              QStringLiteral("Whole Word only")};
    LEX_FIND(frame, QGroupBox, s.dialog.get(), QStringLiteral("Fra0005"));
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(s.option(i)->text(), options.at(i));
        QCOMPARE(s.option(i)->parent(), frame);
        QVERIFY(!s.option(i)->isChecked());
    }
    const QStringList captions{QStringLiteral("&Find Now"),
                               QStringLiteral("&New Search"),
                               QStringLiteral("&Close"),
                               QStringLiteral("&Stop"),
                               QString(),
                               QString()};
    for (int i = 0; i < 6; ++i)
        QCOMPARE(s.button(i)->text(), captions.at(i));
    QCOMPARE(s.button(4)->toolTip(), QStringLiteral("Help"));
    QCOMPARE(s.button(5)->toolTip(), QStringLiteral("Save Report"));
    QVERIFY(!s.button(4)->icon().isNull());
    QVERIFY(!s.button(5)->icon().isNull());

    QStringList choices;
    for (int i = 0; i < s.fields()->count(); ++i)
        choices << s.fields()->itemText(i);
    QCOMPARE(choices, CitationSearch::fieldChoices());
    QCOMPARE(s.results()->headerItem()->text(0), QStringLiteral("Citation"));
    QCOMPARE(s.results()->headerItem()->text(1), QStringLiteral("Found in"));
    QCOMPARE(s.results()->columnCount(), 2);
    QCOMPARE(s.enabled(), kIdle);
    // No animation file in this program folder: nothing to play, and nothing said about it.
    LEX_FIND(animation, QLabel, s.dialog.get(), QStringLiteral("Ani0005"));
    QVERIFY(!animation->movie());

    QList<int> contexts;
    QString helpDir;
    s.dialog->setHelpHandler([&](QWidget* owner, const QString& programDir, int contextId) {
        QCOMPARE(owner, s.dialog.get());
        helpDir = programDir;
        contexts << contextId;
    });
    s.button(4)->click();
    QCOMPARE(contexts, QList<int>{70100});
    QCOMPARE(helpDir, t.ctx().programDir);

    s.button(2)->click();
    QVERIFY(!s.dialog->isVisible());
    QVERIFY(pointerIsBack());
}

void TestFindCitationScreen::searchTextAndChoicesClearTheList()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addCitations(t));
    const Screen s = Screen::open(t.ctx());

    // A blank cannot begin the search text, typed into an empty box, before the text, or over a selection
    // that starts it; inside or after the text it is kept.
    s.text()->setFocus();
    QTest::keyClick(s.text(), Qt::Key_Space);
    QCOMPARE(s.text()->text(), QString());
    QCOMPARE(s.enabled(), kIdle);
    s.type(QStringLiteral("SC"));
    QCOMPARE(s.enabled(), kReady);
    QTest::keyClick(s.text(), Qt::Key_Home);
    QTest::keyClick(s.text(), Qt::Key_Space);
    QCOMPARE(s.text()->text(), QStringLiteral("SC"));
    QTest::keyClick(s.text(), Qt::Key_End);
    QTest::keyClick(s.text(), Qt::Key_Space);
    QCOMPARE(s.text()->text(), QStringLiteral("SC "));
    s.text()->selectAll();
    QTest::keyClick(s.text(), Qt::Key_Space);
    QCOMPARE(s.text()->text(), QStringLiteral("SC "));
    QTest::keyClick(s.text(), Qt::Key_Backspace);
    QTest::keyClick(s.text(), Qt::Key_Backspace);
    QTest::keyClick(s.text(), Qt::Key_Backspace);
    QCOMPARE(s.text()->text(), QString());
    QCOMPARE(s.enabled(), kIdle);

    // Any change of the text empties the list.
    s.lookIn(QStringLiteral("Citation"));
    s.type(QStringLiteral("SC"));
    QVERIFY(s.findNow());
    QCOMPARE(s.results()->topLevelItemCount(), 2);
    QCOMPARE(s.enabled(), kWithHits);
    s.type(QStringLiteral("M"));
    QCOMPARE(s.results()->topLevelItemCount(), 0);
    QCOMPARE(s.enabled(), kReady);

    // So does another field choice.
    QVERIFY(s.findNow());
    QCOMPARE(s.results()->topLevelItemCount(), 1);
    s.lookIn(QStringLiteral("Case"));
    QCOMPARE(s.results()->topLevelItemCount(), 0);
    QCOMPARE(s.enabled(), kReady);

    // "Select all fields" takes "Look in" out of use, and gives it back.
    s.option(0)->click();
    QVERIFY(!s.label(1)->isEnabled());
    QVERIFY(!s.fields()->isEnabled());
    s.option(0)->click();
    QVERIFY(s.label(1)->isEnabled());
    QVERIFY(s.fields()->isEnabled());
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestFindCitationScreen::leadingBlanksRefusedHoweverTheyCome_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("after");
    QTest::newRow("pasted into an empty box")
        << QString() << QStringLiteral("paste") << QStringLiteral("   SC 5") << QStringLiteral("SC 5");
    QTest::newRow("pasted blanks only") << QString() << QStringLiteral("paste") << QStringLiteral("  ") << QString();
    QTest::newRow("pasted before the text")
        << QStringLiteral("SC") << QStringLiteral("paste") << QStringLiteral(" PLD ") << QStringLiteral("PLD SC");
    QTest::newRow("pasted inside the text")
        << QStringLiteral("SC") << QStringLiteral("paste inside") << QStringLiteral(" 5 ") << QStringLiteral("S 5 C");
    QTest::newRow("set by the program") << QString() << QStringLiteral("set") << QStringLiteral(" \tSC")
                                        << QStringLiteral("\tSC");
    QTest::newRow("first letter deleted")
        << QStringLiteral("P SC") << QStringLiteral("delete first") << QString() << QStringLiteral("SC");
}

// However a text comes into the box, it never begins with a blank; blanks further in are kept.
void TestFindCitationScreen::leadingBlanksRefusedHoweverTheyCome()
{
    QFETCH(QString, before);
    QFETCH(QString, how);
    QFETCH(QString, input);
    QFETCH(QString, after);
    LEX_USE_DATABASE(t, true);
    const Screen s = Screen::open(t.ctx());
    s.text()->setFocus();
    s.type(before);
    if (how.startsWith(QLatin1String("paste"))) {
        QGuiApplication::clipboard()->setText(input);
        s.text()->setCursorPosition(how == QLatin1String("paste") ? 0 : 1);
        s.text()->paste();
    } else if (how == QLatin1String("set")) {
        s.text()->setText(input);
    } else {
        QTest::keyClick(s.text(), Qt::Key_Home);
        QTest::keyClick(s.text(), Qt::Key_Delete);
    }
    QCOMPARE(s.text()->text(), after);
    QCOMPARE(s.enabled(), after.isEmpty() ? kIdle : kReady);
}

// "Select all fields" takes "Look in" out of use whenever its state changes: clicked, by the keyboard, or set
// by an assistive tool.
void TestFindCitationScreen::selectAllFieldsFollowsTheBoxState()
{
    LEX_USE_DATABASE(t, true);
    const Screen s = Screen::open(t.ctx());
    QCheckBox* all = s.option(0);
    all->setFocus();
    QTest::keyClick(all, Qt::Key_Space);
    QVERIFY(all->isChecked());
    QVERIFY(!s.label(1)->isEnabled());
    QVERIFY(!s.fields()->isEnabled());
    QTest::keyClick(all, Qt::Key_Space);
    QVERIFY(!all->isChecked());
    QVERIFY(s.label(1)->isEnabled());
    QVERIFY(s.fields()->isEnabled());
    all->setChecked(true);
    QVERIFY(!s.fields()->isEnabled());
    all->toggle();
    QVERIFY(s.fields()->isEnabled());
}

// Enter in the search text runs Find Now; with no text it does nothing. In the list it opens the hit.
void TestFindCitationScreen::enterRunsFindNow()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addCitations(t));
    const Screen s = Screen::open(t.ctx());
    QVERIFY(s.button(0)->isDefault());
    s.text()->setFocus();
    QTest::keyClick(s.text(), Qt::Key_Return);
    QVERIFY(!s.dialog->isSearching());
    QCOMPARE(s.status(), QString());
    s.lookIn(QStringLiteral("Citation"));
    s.type(QStringLiteral("SC"));
    QTest::keyClick(s.text(), Qt::Key_Return);
    QVERIFY(waitUntil([&] { return s.status() == QLatin1String("2 record(s) found."); }, 60000));
    QVERIFY(s.dialog->isVisible());
    s.text()->setText(QStringLiteral("PLD"));
    QTest::keyClick(s.text(), Qt::Key_Enter);
    QVERIFY(waitUntil([&] { return s.status() == QLatin1String("1 record(s) found."); }, 60000));

    // Enter on a hit opens it, as a double click does, and does not start another search first.
    QString opened;
    bool seen = false;
    onNextModal([&](QWidget* modal) { opened = modal->objectName(); }, &seen);
    s.results()->setFocus();
    s.select(0);
    QTest::keyClick(s.results(), Qt::Key_Return);
    QVERIFY(seen);
    QCOMPARE(opened, QStringLiteral("CS06000601"));
    QVERIFY(waitUntil([&] { return !s.dialog->isSearching(); }, 60000));
    QCOMPARE(s.rows().size(), 1);
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestFindCitationScreen::outcomesAndHits()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addCitations(t));
    const Screen s = Screen::open(t.ctx());

    s.lookIn(QStringLiteral("Citation"));
    s.type(QStringLiteral("zzz"));
    QVERIFY(s.findNow());
    QCOMPARE(s.status(), NoResults);
    QCOMPARE(s.results()->topLevelItemCount(), 0);
    QCOMPARE(s.enabled(), kReady);

    s.text()->clear();
    s.type(QStringLiteral("SC"));
    QVERIFY(s.findNow());
    QCOMPARE(s.status(), QStringLiteral("2 record(s) found."));
    QCOMPARE(s.rows().size(), 2);
    QVERIFY2(s.rows().at(0).startsWith(QLatin1String("PLD 2003 SC 5|")), qPrintable(s.rows().at(0)));
    QVERIFY(s.rows().at(0).endsWith(QLatin1String("|1")));
    QVERIFY2(s.rows().at(1).startsWith(QLatin1String("2004 SCMR 7|")), qPrintable(s.rows().at(1)));
    QVERIFY(s.rows().at(1).endsWith(QLatin1String("|2")));
    QCOMPARE(s.enabled(), kWithHits);
    for (int i = 0; i < 3; ++i)
        QVERIFY(s.option(i)->isEnabled());

    // Whole word and match case go to the engine: "SC" is a word of the first citation only, and "sc" none.
    s.option(2)->click();
    QVERIFY(s.findNow());
    QCOMPARE(s.rows().size(), 1);
    QVERIFY(s.rows().at(0).startsWith(QLatin1String("PLD 2003 SC 5|")));
    s.option(1)->click();
    s.text()->setText(QStringLiteral("sc"));
    QVERIFY(s.findNow());
    QCOMPARE(s.status(), NoResults);

    // Every field: each pass adds its own hits to the one list, the link passes saying where.
    s.option(1)->click();
    s.option(2)->click();
    s.option(0)->click();
    s.text()->setText(QStringLiteral("Contract"));
    QVERIFY(s.findNow());
    QCOMPARE(s.rows(), QStringList{QStringLiteral("2004 SCMR 7|(act)Contract Act|2")});
    QCOMPARE(s.status(), QStringLiteral("1 record(s) found."));
    QVERIFY(!s.fields()->isEnabled());
    QVERIFY(MessageBox::shown().isEmpty());
    QVERIFY(pointerIsBack());
}

void TestFindCitationScreen::newSearchAsks()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addCitations(t));
    const Screen s = Screen::open(t.ctx());
    s.option(1)->click();
    s.option(0)->click();
    s.type(QStringLiteral("dismissed"));
    QVERIFY(s.findNow());
    QCOMPARE(s.rows().size(), 2);
    const QString outcome = s.status();

    // Cancel keeps everything.
    MessageBox::setNextAnswer(MessageBox::Answer::Cancel);
    s.button(1)->click();
    const QList<MessageBox::Shown> asked = takeShown();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().text, QStringLiteral("This will clear your current search."));
    QCOMPARE(asked.first().title, QStringLiteral("Lexorium"));
    QCOMPARE(asked.first().icon, MessageBox::Icon::Information);
    QCOMPARE(asked.first().buttons, MessageBox::Buttons::OkCancel);
    QCOMPARE(s.text()->text(), QStringLiteral("dismissed"));
    QVERIFY(s.option(0)->isChecked());
    QVERIFY(s.option(1)->isChecked());
    QCOMPARE(s.rows().size(), 2);
    QCOMPARE(s.status(), outcome);
    QCOMPARE(s.enabled(), kWithHits);

    // OK clears the text, the options and the list.
    MessageBox::setNextAnswer(MessageBox::Answer::Ok);
    s.button(1)->click();
    QCOMPARE(takeShown().size(), 1);
    QCOMPARE(s.text()->text(), QString());
    for (int i = 0; i < 3; ++i)
        QVERIFY(!s.option(i)->isChecked());
    QVERIFY(s.fields()->isEnabled());
    QVERIFY(s.label(1)->isEnabled());
    QCOMPARE(s.results()->topLevelItemCount(), 0);
    QCOMPARE(s.enabled(), kIdle);
}

void TestFindCitationScreen::saveReportAsks()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addCitations(t));
    const Screen s = Screen::open(t.ctx());
    s.lookIn(QStringLiteral("Citation"));
    s.type(QStringLiteral("SC"));
    QVERIFY(s.findNow());
    s.select(1);
    QTemporaryDir dir;

    // No: nothing asked further.
    MessageBox::setNextAnswer(MessageBox::Answer::No);
    s.button(5)->click();
    QList<MessageBox::Shown> shown = takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().text, QStringLiteral("Do you want to save report for the '2004 SCMR 7' citation?"));
    QCOMPARE(shown.first().icon, MessageBox::Icon::Question);
    QCOMPARE(shown.first().buttons, MessageBox::Buttons::YesNo);
    QCOMPARE(shown.first().title, QStringLiteral("Lexorium"));
    QVERIFY(FileDialog::asked().isEmpty());

    // Yes: the selected citation is written, and where it went is told.
    const QString path = dir.filePath(QStringLiteral("case.txt"));
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    FileDialog::setNextFileName(path);
    s.button(5)->click();
    QCOMPARE(FileDialog::asked().size(), 1);
    QCOMPARE(FileDialog::asked().first().caption, QStringLiteral("Save Report"));
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    written.close();
    QVERIFY2(bytes.startsWith("Dated:19/07/2024\r\n\r\n\r\nCitation: 2004 SCMR 7\r\n"), bytes.left(80).constData());
    shown = takeShown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.last().text, QStringLiteral("The report has been stored in ") + QDir::toNativeSeparators(path));
    QCOMPARE(shown.last().icon, MessageBox::Icon::Information);

    // The file is there now: replacing it is asked, and No writes nothing.
    QVERIFY(written.open(QIODevice::WriteOnly));
    written.write("kept");
    written.close();
    int exports = 0;
    s.dialog->setExportHook([&](DbSession&, qint64, const QString&, CitationExport::Format) {
        ++exports;
        return Error();
    });
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    MessageBox::setNextAnswer(MessageBox::Answer::No);
    FileDialog::setNextFileName(path);
    s.button(5)->click();
    shown = takeShown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.last().text, QStringLiteral("The file already exits, do you want to replace it?"));
    QCOMPARE(shown.last().buttons, MessageBox::Buttons::YesNo);
    QCOMPARE(shown.last().defaultButton, MessageBox::Answer::No);
    // Asked once, here: the dialog itself does not ask too.
    QVERIFY(!FileDialog::asked().last().dialogAsksToReplace);
    QCOMPARE(exports, 0);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("kept"));
    written.close();

    // A failed export is reported with its number and not announced as stored.
    s.dialog->setExportHook([](DbSession&, qint64, const QString&, CitationExport::Format) {
        return Error::other(QStringLiteral("disk full"), QStringLiteral("28"));
    });
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    FileDialog::setNextFileName(dir.filePath(QStringLiteral("other.xls")));
    s.button(5)->click();
    shown = takeShown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.last().text, QStringLiteral("disk full"));
    QCOMPARE(shown.last().title, QStringLiteral("Lexorium - 28"));
    QVERIFY(pointerIsBack());
}

void TestFindCitationScreen::aChangedCitationLeavesTheListOnTheRerun()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addCitations(t));
    const Screen s = Screen::open(t.ctx());
    s.lookIn(QStringLiteral("Citation"));
    s.type(QStringLiteral("SC"));
    QVERIFY(s.findNow());
    QCOMPARE(s.rows().size(), 2);

    // The second hit opened by a double-click, changed there so that it no longer holds the text.
    bool seen = false;
    QString opened;
    QList<bool> usable;
    onNextModal(
        [&](QWidget* modal) {
            opened = modal->objectName();
            auto* screen = qobject_cast<CitationScreen*>(modal);
            if (!screen || screen->mode() != CitationScreen::Mode::ForChange)
                return;
            auto* citationBox = screen->findChild<QLineEdit*>(QStringLiteral("Txt0006(0)"));
            auto* modify = screen->findChild<QPushButton*>(QStringLiteral("Cmd0006(3)"));
            if (!citationBox || !modify)
                return;
            usable << (citationBox->text() == QLatin1String("2004 SCMR 7"));
            citationBox->setText(QStringLiteral("2004 PLC 7"));
            MessageBox::setNextAnswer(MessageBox::Answer::Yes);
            modify->click();
        },
        &seen);
    QTreeWidget* list = s.results();
    const QRect second = list->visualItemRect(list->topLevelItem(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QVERIFY(seen);
    QCOMPARE(opened, QStringLiteral("CS06000601"));
    QCOMPARE(usable, QList<bool>{true});
    QCOMPARE(t.scalar(QStringLiteral("SELECT citation FROM case_master WHERE case_id = 2")).toString(),
             QStringLiteral("2004 PLC 7"));

    QVERIFY(waitUntil([&] { return !s.dialog->isSearching(); }));
    QCOMPARE(s.rows().size(), 1);
    QVERIFY(s.rows().at(0).startsWith(QLatin1String("PLD 2003 SC 5|")));
    QCOMPARE(s.status(), QStringLiteral("1 record(s) found."));
    QCOMPARE(s.enabled(), kWithHits);
    QVERIFY(pointerIsBack());
}

void TestFindCitationScreen::aSectionHitStaysAfterTheRerun()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addCitations(t));
    const Screen s = Screen::open(t.ctx());
    s.option(0)->click();
    s.type(QStringLiteral("S. 73"));
    QVERIFY(s.findNow());
    const QStringList found{QStringLiteral("2004 SCMR 7|(section)s. 73|2")};
    QCOMPARE(s.rows(), found);

    // Opened and closed unchanged: the search runs again with every pass Find Now ran, the section pass too.
    bool seen = false;
    onNextModal([](QWidget*) {}, &seen);
    s.select(0);
    s.dialog->openSelectedCitation();
    QVERIFY(seen);
    QVERIFY(waitUntil([&] { return !s.dialog->isSearching(); }));
    QCOMPARE(s.rows(), found);
    QCOMPARE(s.status(), QStringLiteral("1 record(s) found."));
    QCOMPARE(s.enabled(), kWithHits);

    // With the options of that Find Now, even when the boxes were changed since: "Match Case" would find nothing.
    s.option(1)->click();
    seen = false;
    onNextModal([](QWidget*) {}, &seen);
    s.dialog->openSelectedCitation();
    QVERIFY(seen);
    QVERIFY(waitUntil([&] { return !s.dialog->isSearching(); }));
    QCOMPARE(s.rows(), found);
    QVERIFY(s.findNow());
    QCOMPARE(s.status(), NoResults);
}

void TestFindCitationScreen::stopEndsThePassWithItsHitsAndClosingEndsTheSearch()
{
    LEX_USE_DATABASE(t, true);
    constexpr int kCitations = 3000;
    QVERIFY(fillGenerated(t, kCitations));
    // The animation beside the program, as the build puts it there.
    QVERIFY(QDir().mkpath(t.programDir() + QStringLiteral("/Accessories")));
    QVERIFY(QFile::copy(FindCitationScreen::animationPath(QStringLiteral(LEXORIUM_BIN_DIR)),
                        FindCitationScreen::animationPath(t.programDir())));

    const Screen s = Screen::open(t.ctx());
    LEX_FIND(animationView, QLabel, s.dialog.get(), QStringLiteral("Ani0005"));
    QMovie* animation = animationView->movie();
    QVERIFY2(animation && animation->isValid(), "the animation cannot be read: is Qt's GIF plugin there?");
    QVERIFY(animation->frameCount() > 1);
    QCOMPARE(animation->state(), QMovie::NotRunning);

    // A letter in nearly every judgment: the first hits come long before the pass could end.
    s.lookIn(QStringLiteral("Judgment"));
    s.type(QStringLiteral("e"));
    QString progress;
    QList<bool> whileSearching;
    bool optionsLocked = false;
    bool playing = false;
    bool stopped = false;
    const auto connection = connect(s.results()->model(), &QAbstractItemModel::rowsInserted, this, [&] {
        if (stopped)
            return;
        stopped = true;
        progress = s.status();
        whileSearching = s.enabled();
        optionsLocked = !s.option(0)->isEnabled() && !s.option(1)->isEnabled() && !s.option(2)->isEnabled() &&
                        !s.text()->isEnabled();
        playing = animation->state() == QMovie::Running;
        s.button(3)->click();
        QVERIFY(animation->state() != QMovie::Running);
    });
    QVERIFY(s.findNow());
    disconnect(connection);
    QVERIFY(stopped);
    QVERIFY2(QRegularExpression(QStringLiteral("^Searching Record \\d+$")).match(progress).hasMatch(),
             qPrintable(progress));
    QCOMPARE(whileSearching, kSearching);
    QVERIFY(optionsLocked);
    QVERIFY(playing);
    QCOMPARE(animation->state(), QMovie::NotRunning);
    const QStringList stoppedHits = s.rows();
    QVERIFY(!stoppedHits.isEmpty());
    QCOMPARE(s.status(), QString::number(stoppedHits.size()) + QStringLiteral(" record(s) found."));
    QCOMPARE(s.enabled(), kWithHits);

    // The same search to its end finds more, and the stopped one's hits are its first ones.
    QVERIFY(s.findNow());
    const QStringList allHits = s.rows();
    QVERIFY2(allHits.size() > stoppedHits.size(),
             qPrintable(QStringLiteral("%1 hits stopped, %2 in all").arg(stoppedHits.size()).arg(allHits.size())));
    QCOMPARE(allHits.mid(0, stoppedHits.size()), stoppedHits);

    // Closing in the middle of a search ends it and waits for it.
    s.button(0)->click();
    QVERIFY(s.dialog->isSearching());
    s.button(2)->click();
    QVERIFY(!s.dialog->isSearching());
    QVERIFY(!s.dialog->isVisible());
    QVERIFY(pointerIsBack());
    QTest::qWait(50);
    QVERIFY(s.results()->topLevelItemCount() < allHits.size());
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestFindCitationScreen::aFailedSearchIsReported()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addCitations(t));
    QVERIFY(t.exec(QStringLiteral("DROP TABLE cm_bench_name")));
    const Screen s = Screen::open(t.ctx());
    s.option(0)->click();
    s.type(QStringLiteral("Contract"));
    QVERIFY(s.findNow());
    const QList<MessageBox::Shown> shown = takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().icon, MessageBox::Icon::Information);
    QVERIFY(!shown.first().text.isEmpty());
    QVERIFY2(shown.first().title.startsWith(QLatin1String("Lexorium")), qPrintable(shown.first().title));
    // The passes before the failing one listed their hits; the screen can be used again.
    QCOMPARE(s.rows(), QStringList{QStringLiteral("2004 SCMR 7|(act)Contract Act|2")});
    QCOMPARE(s.enabled(), kWithHits);
    QVERIFY(pointerIsBack());
}

void TestFindCitationScreen::mainWindowOpensTheScreen()
{
    LEX_USE_DATABASE(t, true);
    MainWindow w(t.ctx());
    w.show();
    LEX_FIND(search, QAction, &w, QStringLiteral("Mnu00012(0)"));
    QCOMPARE(search->text(), QStringLiteral("&Search"));
    QVERIFY(search->isEnabled());
    LEX_FIND(button, QAction, &w, QStringLiteral("Tb0001(Find Citation)"));
    QVERIFY(button->isEnabled());
    for (QAction* action : {search, button}) {
        bool seen = false;
        QString name;
        QString title;
        onNextModal(
            [&](QWidget* modal) {
                name = modal->objectName();
                title = modal->windowTitle();
            },
            &seen);
        action->trigger();
        QVERIFY(seen);
        QCOMPARE(name, QStringLiteral("CS06000501"));
        QCOMPARE(title, QStringLiteral("Find In Citation"));
    }
    QVERIFY(pointerIsBack());
}

QTEST_MAIN(TestFindCitationScreen)
#include "tst_find_citation_screen.moc"
