#include "gui/common/chelp.h"
#include "gui/common/help_access.h"
#include "gui/common/help_window.h"
#include "support/gui_test_support.h"
#include "support/test_paths.h"

#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTreeWidget>

namespace {
const QString missingMenuHelp = QStringLiteral("Cannot find help file associated with SelControl");
const QString missingScreenHelp = QStringLiteral("No help is associated with this topic.");

bool anyHelpWindow()
{
    const QWidgetList widgets = QApplication::allWidgets();
    return std::any_of(widgets.cbegin(), widgets.cend(),
                       [](QWidget* w) { return qobject_cast<HelpWindow*>(w) != nullptr; });
}

QString topicOf(HelpWindow* window)
{
    return window->currentTopic();
}
} // namespace

class TestHelpAccess : public QObject
{
    Q_OBJECT

private:
    // A program folder holding a copy of the built help file.
    QTemporaryDir m_programDir;

    int currentTab(HelpWindow* window)
    {
        auto* tabs = findOrFail<QTabWidget>(window, QStringLiteral("helpTabs"), __FILE__, __LINE__);
        return tabs ? tabs->currentIndex() : -1;
    }

private slots:
    void initTestCase()
    {
        MessageBox::setScripted(true);
        QVERIFY(QDir(m_programDir.path()).mkpath(QStringLiteral("Help")));
        QVERIFY(QFile::copy(builtProgramDir() + QStringLiteral("/Help/Lexorium.chm"),
                            HelpAccess::helpFilePath(m_programDir.path())));
    }

    void init() { MessageBox::clearShown(); }

    void withoutTheFile_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("message");
        QTest::newRow("contents") << -1 << missingMenuHelp;
        QTest::newRow("index") << -2 << missingMenuHelp;
        QTest::newRow("search") << -3 << missingMenuHelp;
        for (int context : {20100, 30100, 60100, 70100, 90100, 100100, 110100})
            QTest::newRow(qPrintable(QStringLiteral("screen %1").arg(context))) << context << missingScreenHelp;
    }

    void withoutTheFile()
    {
        QFETCH(int, entry);
        QFETCH(QString, message);
        QTemporaryDir emptyProgramDir;
        CHelp help;
        HelpAccess access(help);
        bool shown = true;
        if (entry == -1)
            shown = access.showContents(nullptr, emptyProgramDir.path());
        else if (entry == -2)
            shown = access.showIndex(nullptr, emptyProgramDir.path());
        else if (entry == -3)
            shown = access.showSearch(nullptr, emptyProgramDir.path());
        else
            shown = access.showScreenHelp(nullptr, emptyProgramDir.path(), entry);
        QVERIFY(!shown);
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().text, message);
        QCOMPARE(MessageBox::shown().first().title, QStringLiteral("Lexorium"));
        QCOMPARE(MessageBox::shown().first().icon, MessageBox::Icon::Information);
        QCOMPARE(MessageBox::shown().first().buttons, MessageBox::Buttons::Ok);
        QVERIFY(!help.window());
        QVERIFY(!anyHelpWindow());
    }

    void menuEntriesOpenTheirTabOnTheStartTopic()
    {
        CHelp help;
        HelpAccess access(help);
        QVERIFY(access.showIndex(nullptr, m_programDir.path()));
        HelpWindow* window = help.window();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Lexorium Help"));
        LEX_FIND(tabs, QTabWidget, window, QStringLiteral("helpTabs"));
        QCOMPARE(tabs->tabText(0), QStringLiteral("Contents"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Index"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("Search"));
        QCOMPARE(currentTab(window), 1);
        QCOMPARE(topicOf(window), QStringLiteral("/startup.htm"));
        LEX_FIND(pane, QTextBrowser, window, QStringLiteral("helpTopic"));
        QCOMPARE(pane->documentTitle(), QStringLiteral("Welcome to Lexorium"));

        // Another page first, so that each entry is seen to go back to the start topic.
        QVERIFY(access.showScreenHelp(nullptr, m_programDir.path(), 20100));
        QVERIFY(access.showContents(nullptr, m_programDir.path()));
        QCOMPARE(help.window(), window);
        QCOMPARE(currentTab(window), 0);
        QCOMPARE(topicOf(window), QStringLiteral("/startup.htm"));

        QVERIFY(access.showScreenHelp(nullptr, m_programDir.path(), 30100));
        QVERIFY(access.showSearch(nullptr, m_programDir.path()));
        QCOMPARE(currentTab(window), 2);
        QCOMPARE(topicOf(window), QStringLiteral("/startup.htm"));
        QVERIFY(MessageBox::shown().isEmpty());

        LEX_FIND(contents, QTreeWidget, window, QStringLiteral("helpContents"));
        QCOMPARE(contents->topLevelItem(0)->text(0), QStringLiteral("Welcome to Lexorium"));
    }

    void screenHelpShowsItsTopic_data()
    {
        QTest::addColumn<int>("context");
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("Category") << 20100 << "/category.htm"
                                  << "Category"
                                  << "Please enter the Category name";
        QTest::newRow("Act") << 30100 << "/act.htm"
                             << "Act"
                             << "Please enter the Act name";
        QTest::newRow("Citation") << 60100 << "/citation.htm"
                                  << "Citation"
                                  << "Please enter the citation.";
        QTest::newRow("Find Citation") << 70100 << "/find_citation.htm"
                                       << "Find Citation"
                                       << "Whole Word only";
        QTest::newRow("Synchronisation") << 90100 << "/synchronisation.htm"
                                         << "Synchronisation"
                                         << "Present Database";
        QTest::newRow("View Citation") << 100100 << "/view_citation.htm"
                                       << "View Citation"
                                       << "No records are found.";
        QTest::newRow("Court") << 110100 << "/court.htm"
                               << "Court"
                               << "Please enter the court name";
    }

    void screenHelpShowsItsTopic()
    {
        QFETCH(int, context);
        QFETCH(QString, topic);
        QFETCH(QString, title);
        QFETCH(QString, text);
        CHelp help;
        HelpAccess access(help);
        QVERIFY(access.showScreenHelp(nullptr, m_programDir.path(), context));
        QVERIFY(MessageBox::shown().isEmpty());
        HelpWindow* window = help.window();
        QVERIFY(window && window->isVisible());
        QCOMPARE(topicOf(window), topic);
        LEX_FIND(pane, QTextBrowser, window, QStringLiteral("helpTopic"));
        QCOMPARE(pane->documentTitle(), title);
        QVERIFY(pane->toPlainText().contains(text));
    }

    void showTakesTheFileAndAWindowName()
    {
        CHelp help;
        const QString file = HelpAccess::helpFilePath(m_programDir.path());
        QVERIFY(help.Show(file));
        QCOMPARE(topicOf(help.window()), QStringLiteral("/startup.htm"));
        QVERIFY(help.Show(QStringLiteral("  ") + file + QStringLiteral(" "), QStringLiteral(" Main "), 110100));
        QCOMPARE(topicOf(help.window()), QStringLiteral("/court.htm"));
        QVERIFY(!help.htmlHelp(nullptr, file + QStringLiteral("::/about.htm>Main"), CHelp::DisplayTopic));
        QCOMPARE(topicOf(help.window()), QStringLiteral("/about.htm"));
        QVERIFY(MessageBox::shown().isEmpty());
    }

    void failuresInsideShowAreReported()
    {
        CHelp help;
        QVERIFY(!help.Show(HelpAccess::helpFilePath(m_programDir.path()), QString(), 12345));
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY(MessageBox::shown().first().text.contains(QStringLiteral("12345")));
        QCOMPARE(MessageBox::shown().first().title, QStringLiteral("Lexorium"));
        QVERIFY(!help.window());
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        const Error unknownCommand = help.htmlHelp(nullptr, HelpAccess::startTopic(m_programDir.path()), 7, 0);
        QVERIFY(unknownCommand);
        QVERIFY(!unknownCommand.description.isEmpty());
        QCOMPARE(unknownCommand.kind, Error::Kind::Other);
        const Error missingTopic =
            help.htmlHelp(nullptr, HelpAccess::helpFilePath(m_programDir.path()) + QStringLiteral("::/nope.htm"),
                          CHelp::DisplayTopic);
        QVERIFY(missingTopic);
        QVERIFY(missingTopic.description.contains(QStringLiteral("nope.htm")));
        QCOMPARE(missingTopic.kind, Error::Kind::NotFound);
        QCOMPARE(help.htmlHelp(nullptr, HelpAccess::helpFilePath(m_programDir.path()), CHelp::HelpContext, 12345).kind,
                 Error::Kind::NotFound);
        QCOMPARE(
            help.htmlHelp(nullptr, m_programDir.filePath(QStringLiteral("Help/none.chm")), CHelp::DisplayTopic).kind,
            Error::Kind::NotFound);
        QCOMPARE(help.htmlHelp(nullptr, QStringLiteral(" ::/startup.htm"), CHelp::DisplayTopic).kind,
                 Error::Kind::Other);
        QVERIFY(!help.window());
    }

    // Over a modal screen the help window belongs to that screen, and goes with it.
    void helpOverAModalScreen()
    {
        CHelp help;
        HelpAccess access(help);
        auto* screen = new QDialog;
        screen->setModal(true);
        screen->show();
        QCOMPARE(QApplication::activeModalWidget(), screen);
        QVERIFY(access.showScreenHelp(nullptr, m_programDir.path(), 70100));
        QCOMPARE(help.window()->parentWidget(), screen);
        QVERIFY(help.window()->isWindow());
        delete screen;
        QVERIFY(!help.window());
        QVERIFY(access.showScreenHelp(nullptr, m_programDir.path(), 70100));
        QCOMPARE(help.window()->parentWidget(), nullptr);
    }

    void aDamagedFileIsReportedNotShown()
    {
        QTemporaryDir programDir;
        QVERIFY(QDir(programDir.path()).mkpath(QStringLiteral("Help")));
        QFile junk(HelpAccess::helpFilePath(programDir.path()));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("this is not a compiled help file");
        junk.close();
        CHelp help;
        HelpAccess access(help);
        QVERIFY(!access.showContents(nullptr, programDir.path()));
        QVERIFY(!access.showScreenHelp(nullptr, programDir.path(), 20100));
        QCOMPARE(MessageBox::shown().size(), 2);
        QVERIFY(MessageBox::shown().at(0).text != missingMenuHelp);
        QVERIFY(!help.window());
        const Error e = help.htmlHelp(nullptr, HelpAccess::startTopic(programDir.path()), CHelp::DisplayToc);
        QCOMPARE(e.kind, Error::Kind::Io);
        QCOMPARE(e.description, MessageBox::shown().at(0).text);
        QVERIFY(!help.window());
    }

    void topicPaneReadsPicturesAndFollowsLinks()
    {
        CHelp help;
        HelpAccess access(help);
        QVERIFY(access.showContents(nullptr, m_programDir.path()));
        LEX_FIND(pane, QTextBrowser, help.window(), QStringLiteral("helpTopic"));
        const QVariant picture =
            pane->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("images/lexorium.png")));
        QVERIFY(picture.toByteArray().startsWith("\x89PNG"));
        QVERIFY(!pane->loadResource(QTextDocument::StyleSheetResource, QUrl(QStringLiteral("lexorium.css")))
                     .toString()
                     .isEmpty());
        emit pane->anchorClicked(QUrl(QStringLiteral("category.htm")));
        QCOMPARE(topicOf(help.window()), QStringLiteral("/category.htm"));
        QCOMPARE(pane->documentTitle(), QStringLiteral("Category"));
    }

    void indexAndSearchTabsOpenTopics()
    {
        CHelp help;
        HelpAccess access(help);
        QVERIFY(access.showSearch(nullptr, m_programDir.path()));
        HelpWindow* window = help.window();

        LEX_FIND(searchText, QLineEdit, window, QStringLiteral("helpSearchText"));
        searchText->setText(QStringLiteral("Mergerd"));
        LEX_FIND(searchButton, QPushButton, window, QStringLiteral("helpSearchButton"));
        searchButton->click();
        LEX_FIND(results, QListWidget, window, QStringLiteral("helpSearchResults"));
        QCOMPARE(results->count(), 1);
        emit results->itemActivated(results->item(0));
        QCOMPARE(topicOf(window), QStringLiteral("/synchronisation.htm"));

        LEX_FIND(keyword, QLineEdit, window, QStringLiteral("helpIndexKeyword"));
        LEX_FIND(index, QListWidget, window, QStringLiteral("helpIndex"));
        QTest::keyClicks(keyword, QStringLiteral("serv"));
        QCOMPARE(index->currentItem()->text(), QStringLiteral("Server Name"));
        QTest::keyClick(keyword, Qt::Key_Return);
        QCOMPARE(topicOf(window), QStringLiteral("/connection.htm"));
    }
};

QTEST_MAIN(TestHelpAccess)
#include "tst_help_access.moc"
