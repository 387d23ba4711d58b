#include "gui/common/help_access.h"
#include "gui/common/help_window.h"
#include "gui/common/icons.h"
#include "gui/masters/category_screen.h"
#include "gui/shell/about_screen.h"
#include "gui/shell/main_window.h"
#include "support/gui_test_support.h"
#include "support/test_database.h"
#include "support/test_paths.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void menuCaptionsInOrder();
    void toolbarButtons();
    void menuIcons();
    void windowCarriesTheProgramsIcon();
    void helpMenuWithoutHelpFile();
    void aboutScreen();
    void exitClosesTheWindow();
    void mastersOpenModallyFromMenuAndToolbar_data();
    void mastersOpenModallyFromMenuAndToolbar();
    void printShowsTheListingPreview();
    void screenHelpReachesItsTopic();

private:
    QTemporaryDir m_dir;
};

void TestMainWindow::init()
{
    MessageBox::setScripted(true);
    MessageBox::clearShown();
}

namespace {
// The menu items the program has always had, named Mnu...; the items added beside them are checked apart.
QStringList captionsOf(const QList<QAction*>& actions)
{
    QStringList out;
    for (QAction* a : actions) {
        if (a->objectName().startsWith(QLatin1String("Mnu")))
            out << (a->isSeparator() ? QStringLiteral("-") : a->text()) + QLatin1Char('=') + a->objectName();
    }
    return out;
}

QStringList allCaptionsOf(const QList<QAction*>& actions)
{
    QStringList out;
    for (QAction* a : actions)
        out << (a->isSeparator() ? QStringLiteral("-") : a->text()) + QLatin1Char('=') + a->objectName();
    return out;
}
} // namespace

void TestMainWindow::menuCaptionsInOrder()
{
    MainWindow w({m_dir.path(), {}});
    QCOMPARE(w.windowTitle(), QStringLiteral("Lexorium"));
    QCOMPARE(captionsOf(w.menuBar()->actions()),
             QStringList({QStringLiteral("&File=Mnu0001(0)"), QStringLiteral("&Configuration=Mnu0001(1)"),
                          QStringLiteral("&Utilities=Mnu0001(2)"), QStringLiteral("&Help=Mnu0001(3)")}));
    LEX_FIND(file, QMenu, &w, QStringLiteral("Mnu0001(0)"));
    QCOMPARE(captionsOf(file->actions()),
             QStringList({QStringLiteral("&Master=Mnu00010(0)"), QStringLiteral("-=Mnu00010(1)"),
                          QStringLiteral("&Exit=Mnu00010(2)")}));
    // Import, export, backup and restore sit between the lists and Exit.
    QCOMPARE(
        allCaptionsOf(file->actions()).mid(1, 5),
        QStringList({QStringLiteral("-=FileTransferSeparator"), QStringLiteral("&Import Citations...=ImportCitations"),
                     QStringLiteral("Export A&ll Citations...=ExportAllCitations"),
                     QStringLiteral("&Backup...=BackupDatabase"), QStringLiteral("&Restore...=RestoreDatabase")}));
    LEX_FIND(master, QMenu, &w, QStringLiteral("Mnu00010(0)"));
    QCOMPARE(captionsOf(master->actions()),
             QStringList({QStringLiteral("&Act=Mnu000100(0)"), QStringLiteral("&Category=Mnu000100(1)"),
                          QStringLiteral("Ci&tation=Mnu000100(2)"), QStringLiteral("Cou&rt=Mnu000100(3)")}));
    LEX_FIND(citation, QMenu, &w, QStringLiteral("Mnu000100(2)"));
    QCOMPARE(captionsOf(citation->actions()),
             QStringList({QStringLiteral("Ci&tation=Mnu0001000(0)"), QStringLiteral("&View=Mnu0001000(1)")}));
    LEX_FIND(utilities, QMenu, &w, QStringLiteral("Mnu0001(2)"));
    QCOMPARE(captionsOf(utilities->actions()),
             QStringList({QStringLiteral("&Search=Mnu00012(0)"), QStringLiteral("-=Mnu00012(1)"),
                          QStringLiteral("Sy&nchronize=Mnu00012(2)")}));
    // The check of the database after them.
    QCOMPARE(
        allCaptionsOf(utilities->actions()).mid(3),
        QStringList({QStringLiteral("-=UtilitiesCheckSeparator"), QStringLiteral("&Check Database...=CheckDatabase")}));
    LEX_FIND(help, QMenu, &w, QStringLiteral("Mnu0001(3)"));
    QCOMPARE(captionsOf(help->actions()),
             QStringList({QStringLiteral("&Contents...=Mnu00013(0)"), QStringLiteral("&Index...=Mnu00013(1)"),
                          QStringLiteral("&Search...=Mnu00013(2)"), QStringLiteral("-=Mnu00013(3)"),
                          QStringLiteral("&About=Mnu00013(4)")}));

    // Screens that exist are reachable; the rest are greyed out.
    for (const char* on : {"Mnu000100(0)", "Mnu000100(1)", "Mnu000100(3)", "Mnu0001000(0)", "Mnu0001000(1)",
                           "Mnu00010(2)", "Mnu00013(0)", "Mnu00013(4)", "Mnu00012(0)", "Mnu00012(2)"}) {
        LEX_FIND(action, QAction, &w, QLatin1String(on));
        QVERIFY2(action->isEnabled(), on);
    }
    for (const char* off : {"Mnu0001(1)"}) {
        LEX_FIND(action, QAction, &w, QLatin1String(off));
        QVERIFY2(!action->isEnabled(), off);
    }
}

void TestMainWindow::toolbarButtons()
{
    MainWindow w({m_dir.path(), {}});
    LEX_FIND(bar, QToolBar, &w, QStringLiteral("Tb0001"));
    const QList<QAction*> buttons = bar->actions();
    QCOMPARE(buttons.size(), 6);
    const QStringList keys{QStringLiteral("Act"),           QStringLiteral("Category"),
                           QStringLiteral("Court"),         QStringLiteral("Add Citation"),
                           QStringLiteral("View Citation"), QStringLiteral("Find Citation")};
    const QStringList tips{QStringLiteral("Act"),           QStringLiteral("Category"),
                           QStringLiteral("Court"),         QStringLiteral("Add Citation"),
                           QStringLiteral("View Citation"), QStringLiteral("Find in citation")};
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(buttons[i]->text(), keys[i]);
        QCOMPARE(buttons[i]->toolTip(), tips[i]);
        QVERIFY(!buttons[i]->icon().isNull());
        QVERIFY(buttons[i]->isEnabled());
    }
}

void TestMainWindow::menuIcons()
{
    MainWindow w({m_dir.path(), {}});
    for (const char* item :
         {"Mnu00012(0)", "Mnu0001000(1)", "Mnu0001000(0)", "Mnu000100(3)", "Mnu000100(1)", "Mnu000100(0)"}) {
        LEX_FIND(action, QAction, &w, QLatin1String(item));
        QVERIFY2(!action->icon().isNull(), item);
    }
    LEX_FIND(exit, QAction, &w, QStringLiteral("Mnu00010(2)"));
    QVERIFY(exit->icon().isNull());
}

void TestMainWindow::windowCarriesTheProgramsIcon()
{
    MainWindow w({m_dir.path(), {}});
    const QIcon icon = w.windowIcon();
    // Every size the desktop entry's icon comes in, and not a master screen's picture.
    for (int size : Icons::applicationIconSizes())
        QVERIFY2(icon.availableSizes().contains(QSize(size, size)), qPrintable(QString::number(size)));
    const QImage shown = icon.pixmap(32, 32).toImage();
    QVERIFY(shown != Icons::icon(QStringLiteral("act")).pixmap(32, 32).toImage());
}

void TestMainWindow::helpMenuWithoutHelpFile()
{
    MainWindow w({m_dir.path(), {}});
    for (const char* item : {"Mnu00013(0)", "Mnu00013(1)", "Mnu00013(2)"}) {
        LEX_FIND(action, QAction, &w, QLatin1String(item));
        action->trigger();
    }
    const QString m = QStringLiteral("Cannot find help file associated with SelControl");
    QCOMPARE(shownTexts(), QStringList({m, m, m}));
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void TestMainWindow::aboutScreen()
{
    MainWindow w({m_dir.path(), {}});
    w.show();
    LEX_FIND(aboutAction, QAction, &w, QStringLiteral("Mnu00013(4)"));
    aboutAction->trigger();
    LEX_FIND(about, AboutScreen, &w, QStringLiteral("CS06000801"));
    QVERIFY(about->isVisible());
    QVERIFY(!about->isModal());
    QCOMPARE(about->windowTitle(), QStringLiteral("About Lexorium"));
    LEX_FIND(copyright, QLabel, about, QStringLiteral("Lbl0008(5)"));
    LEX_FIND(label2, QLabel, about, QStringLiteral("Lbl0008(2)"));
    LEX_FIND(picture, QLabel, about, QStringLiteral("Img0008"));
    QCOMPARE(copyright->text(), QString(QChar(169)));
    QCOMPARE(label2->font().pointSize(), 10);
    QCOMPARE(copyright->font().pointSize(), 10);
    QVERIFY(!picture->pixmap().isNull());
    LEX_FIND(ok, QPushButton, about, QStringLiteral("Cmd0008"));
    QCOMPARE(ok->text(), QStringLiteral("&OK"));
    QTest::mouseClick(ok, Qt::LeftButton);
    QTRY_VERIFY(!w.findChild<AboutScreen*>());
}

void TestMainWindow::exitClosesTheWindow()
{
    auto* w = new MainWindow({m_dir.path(), {}});
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    QPointer<MainWindow> guard(w);
    LEX_FIND(exit, QAction, w, QStringLiteral("Mnu00010(2)"));
    exit->trigger();
    QTRY_VERIFY(!guard);
}

namespace {
// Runs check on the modal window that the next action opens, then closes it.
void onNextModal(std::function<void(QWidget*)> check, QString* seen)
{
    QTimer::singleShot(0, [check, seen] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            *seen = QStringLiteral("<none>");
            return;
        }
        *seen = modal->objectName();
        check(modal);
        modal->close();
    });
}
} // namespace

void TestMainWindow::mastersOpenModallyFromMenuAndToolbar_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("caption");
    QTest::newRow("menu Act") << "Mnu000100(0)"
                              << "CS06000301"
                              << "Act";
    QTest::newRow("menu Category") << "Mnu000100(1)"
                                   << "CS06000201"
                                   << "Category";
    QTest::newRow("menu Court") << "Mnu000100(3)"
                                << "CS06001101"
                                << "Court";
    QTest::newRow("toolbar Act") << "Tb0001(Act)"
                                 << "CS06000301"
                                 << "Act";
    QTest::newRow("toolbar Category") << "Tb0001(Category)"
                                      << "CS06000201"
                                      << "Category";
    QTest::newRow("toolbar Court") << "Tb0001(Court)"
                                   << "CS06001101"
                                   << "Court";
    QTest::newRow("menu View") << "Mnu0001000(1)"
                               << "CS06001001"
                               << "View Citation";
    QTest::newRow("toolbar View Citation") << "Tb0001(View Citation)"
                                           << "CS06001001"
                                           << "View Citation";
}

void TestMainWindow::mastersOpenModallyFromMenuAndToolbar()
{
    QFETCH(QString, action);
    QFETCH(QString, screen);
    QFETCH(QString, caption);
    LEX_USE_DATABASE(t, true);
    MainWindow w(t.ctx());
    w.show();
    QString seen;
    QString title;
    bool modal = false;
    onNextModal(
        [&](QWidget* m) {
            title = m->windowTitle();
            modal = m->isModal();
        },
        &seen);
    LEX_FIND(menuAction, QAction, &w, action);
    menuAction->trigger();
    QCOMPARE(seen, screen);
    QCOMPARE(title, caption);
    QVERIFY(modal);
    QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(shownTexts().join(QLatin1Char('|'))));
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    QTRY_VERIFY(!w.findChild<QDialog*>(screen)); // gone once closed
}

void TestMainWindow::printShowsTheListingPreview()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(t.exec(QStringLiteral("INSERT INTO category_master (id, category) VALUES (2, 'Tax')")));
    QVERIFY(t.exec(QStringLiteral("INSERT INTO category_master (id, category) VALUES (1, 'Civil')")));
    CategoryScreen screen(t.ctx());
    screen.show();
    QString seen;
    QString title;
    onNextModal([&](QWidget* m) { title = m->windowTitle(); }, &seen);
    LEX_FIND(print, QPushButton, &screen, QStringLiteral("Cmd0002(5)"));
    QTest::mouseClick(print, Qt::LeftButton);
    QCOMPARE(seen, QStringLiteral("CS06100101"));
    QCOMPARE(title, QStringLiteral("Category Listing Report"));
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void TestMainWindow::screenHelpReachesItsTopic()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(QDir().mkpath(t.programDir() + QStringLiteral("/Help")));
    QVERIFY(QFile::copy(builtProgramDir() + QStringLiteral("/Help/Lexorium.chm"),
                        HelpAccess::helpFilePath(t.programDir())));
    CategoryScreen screen(t.ctx());
    screen.show();
    LEX_FIND(helpButton, QPushButton, &screen, QStringLiteral("Cmd0002(4)"));
    QTest::mouseClick(helpButton, Qt::LeftButton);
    QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(shownTexts().join(QLatin1Char('|'))));
    LEX_FIND(topic, QTextBrowser, &screen, QStringLiteral("helpTopic"));
    QVERIFY(topic->source().toString().contains(QLatin1String("category")));
    QVERIFY(topic->toPlainText().contains(QLatin1String("Category already exists.")));
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
