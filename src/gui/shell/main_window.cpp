#include "gui/shell/main_window.h"

#include "gui/backup/backup_actions.h"
#include "gui/citations/citation_list_screen.h"
#include "gui/citations/citation_screen.h"
#include "gui/common/hourglass.h"
#include "gui/common/icons.h"
#include "gui/common/message_box.h"
#include "gui/masters/act_screen.h"
#include "gui/masters/category_screen.h"
#include "gui/masters/court_screen.h"
#include "gui/search/find_citation_screen.h"
#include "gui/shell/about_screen.h"
#include "gui/sync/synchronise_screen.h"
#include "gui/transfer/transfer_actions.h"

#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QIcon>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace {
const char* const kScreenKey = "screenKey";

QIcon icon(const char* name)
{
    return Icons::icon(QLatin1String(name));
}
} // namespace

MainWindow::MainWindow(const DbContext& ctx, QWidget* parent)
    : QMainWindow(parent)
    , m_ctx(ctx)
    , m_helpAccess(m_help)
    , m_backupActions(new BackupActions(ctx, this))
{
    Hourglass busy;
    setObjectName(QStringLiteral("CS06000101"));
    setWindowTitle(QStringLiteral("Lexorium"));
    setWindowIcon(Icons::applicationIcon());
    auto* area = new QMdiArea(this);
    area->setObjectName(QStringLiteral("MdiArea"));
    setCentralWidget(area);
    registerScreens();
    buildMenu();
    buildToolbar();
    setMenuIcons();
    enableScreens();
    resize(900, 600);
}

QMenu* MainWindow::addSubmenu(QMenu* parentMenu, const QString& name, const QString& caption)
{
    QMenu* menu = parentMenu ? parentMenu->addMenu(caption) : menuBar()->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
}

QAction* MainWindow::addItem(QMenu* menu, const QString& name, const QString& caption)
{
    QAction* action = caption == QLatin1String("-") ? menu->addSeparator() : menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

QAction* MainWindow::addScreenItem(QMenu* menu, const QString& name, const QString& caption, const QString& key)
{
    QAction* action = addItem(menu, name, caption);
    action->setProperty(kScreenKey, key);
    connect(action, &QAction::triggered, this, [this, key] { openScreen(key); });
    return action;
}

void MainWindow::buildMenu()
{
    QMenu* file = addSubmenu(nullptr, QStringLiteral("Mnu0001(0)"), QStringLiteral("&File"));
    QMenu* master = addSubmenu(file, QStringLiteral("Mnu00010(0)"), QStringLiteral("&Master"));
    addScreenItem(master, QStringLiteral("Mnu000100(0)"), QStringLiteral("&Act"), QStringLiteral("Act"));
    addScreenItem(master, QStringLiteral("Mnu000100(1)"), QStringLiteral("&Category"), QStringLiteral("Category"));
    QMenu* citation = addSubmenu(master, QStringLiteral("Mnu000100(2)"), QStringLiteral("Ci&tation"));
    addScreenItem(citation, QStringLiteral("Mnu0001000(0)"), QStringLiteral("Ci&tation"),
                  QStringLiteral("Add Citation"));
    addScreenItem(citation, QStringLiteral("Mnu0001000(1)"), QStringLiteral("&View"), QStringLiteral("View Citation"));
    addScreenItem(master, QStringLiteral("Mnu000100(3)"), QStringLiteral("Cou&rt"), QStringLiteral("Court"));
    // Bringing citations in and taking them out, beside the lists.
    addItem(file, QStringLiteral("FileTransferSeparator"), QStringLiteral("-"));
    connect(addItem(file, QStringLiteral("ImportCitations"), QStringLiteral("&Import Citations...")),
            &QAction::triggered, this, [this] { TransferActions::importCitations(this, m_ctx); });
    connect(addItem(file, QStringLiteral("ExportAllCitations"), QStringLiteral("Export A&ll Citations...")),
            &QAction::triggered, this, [this] { TransferActions::exportCitations(this, m_ctx); });
    connect(addItem(file, QStringLiteral("BackupDatabase"), QStringLiteral("&Backup...")), &QAction::triggered,
            m_backupActions, &BackupActions::backup);
    connect(addItem(file, QStringLiteral("RestoreDatabase"), QStringLiteral("&Restore...")), &QAction::triggered,
            m_backupActions, &BackupActions::restore);
    addItem(file, QStringLiteral("Mnu00010(1)"), QStringLiteral("-"));
    connect(addItem(file, QStringLiteral("Mnu00010(2)"), QStringLiteral("&Exit")), &QAction::triggered, this,
            &QWidget::close);

    // No action stands behind it.
    QAction* configuration = menuBar()->addAction(QStringLiteral("&Configuration"));
    configuration->setObjectName(QStringLiteral("Mnu0001(1)"));
    configuration->setEnabled(false);

    QMenu* utilities = addSubmenu(nullptr, QStringLiteral("Mnu0001(2)"), QStringLiteral("&Utilities"));
    addScreenItem(utilities, QStringLiteral("Mnu00012(0)"), QStringLiteral("&Search"), QStringLiteral("Find Citation"));
    addItem(utilities, QStringLiteral("Mnu00012(1)"), QStringLiteral("-"));
    addScreenItem(utilities, QStringLiteral("Mnu00012(2)"), QStringLiteral("Sy&nchronize"),
                  QStringLiteral("Synchronize"));
    addItem(utilities, QStringLiteral("UtilitiesCheckSeparator"), QStringLiteral("-"));
    connect(addItem(utilities, QStringLiteral("CheckDatabase"), QStringLiteral("&Check Database...")),
            &QAction::triggered, m_backupActions, &BackupActions::checkDatabase);

    QMenu* help = addSubmenu(nullptr, QStringLiteral("Mnu0001(3)"), QStringLiteral("&Help"));
    connect(addItem(help, QStringLiteral("Mnu00013(0)"), QStringLiteral("&Contents...")), &QAction::triggered, this,
            [this] { m_helpAccess.showContents(this, m_ctx.programDir); });
    connect(addItem(help, QStringLiteral("Mnu00013(1)"), QStringLiteral("&Index...")), &QAction::triggered, this,
            [this] { m_helpAccess.showIndex(this, m_ctx.programDir); });
    connect(addItem(help, QStringLiteral("Mnu00013(2)"), QStringLiteral("&Search...")), &QAction::triggered, this,
            [this] { m_helpAccess.showSearch(this, m_ctx.programDir); });
    addItem(help, QStringLiteral("Mnu00013(3)"), QStringLiteral("-"));
    connect(addItem(help, QStringLiteral("Mnu00013(4)"), QStringLiteral("&About")), &QAction::triggered, this,
            &MainWindow::showAbout);
}

void MainWindow::buildToolbar()
{
    auto* bar = addToolBar(QStringLiteral("Tb0001"));
    bar->setObjectName(QStringLiteral("Tb0001"));
    bar->setMovable(false);
    struct Button {
        const char* key;
        const char* tip;
        const char* image;
    };
    const Button buttons[] = {{"Act", "Act", "act"},
                              {"Category", "Category", "category"},
                              {"Court", "Court", "court"},
                              {"Add Citation", "Add Citation", "add-citation"},
                              {"View Citation", "View Citation", "view-citation"},
                              {"Find Citation", "Find in citation", "find-citation"}};
    for (const Button& b : buttons) {
        const QString key = QLatin1String(b.key);
        QAction* action = bar->addAction(icon(b.image), key);
        action->setObjectName(QStringLiteral("Tb0001(%1)").arg(key));
        action->setToolTip(QLatin1String(b.tip));
        action->setProperty(kScreenKey, key);
        connect(action, &QAction::triggered, this, [this, key] { openScreen(key); });
    }
}

void MainWindow::enableScreens()
{
    // Items whose screen is not there stay greyed out.
    for (QAction* a : findChildren<QAction*>()) {
        const QVariant key = a->property(kScreenKey);
        if (key.isValid())
            a->setEnabled(m_screens.contains(key.toString()));
    }
}

void MainWindow::setMenuIcons()
{
    const struct {
        const char* item;
        const char* image;
    } icons[] = {{"Mnu00012(0)", "find-citation"},  {"Mnu0001000(1)", "view-citation"},
                 {"Mnu0001000(0)", "add-citation"}, {"Mnu000100(3)", "court"},
                 {"Mnu000100(1)", "category"},      {"Mnu000100(0)", "act"}};
    for (const auto& i : icons)
        findChild<QAction*>(QLatin1String(i.item))->setIcon(icon(i.image));
}

void MainWindow::registerScreens()
{
    m_screens.insert(QStringLiteral("Act"), [this] { return new ActScreen(m_ctx, this); });
    m_screens.insert(QStringLiteral("Category"), [this] { return new CategoryScreen(m_ctx, this); });
    m_screens.insert(QStringLiteral("Court"), [this] { return new CourtScreen(m_ctx, this); });
    m_screens.insert(QStringLiteral("Add Citation"),
                     [this] { return new CitationScreen(m_ctx, CitationScreen::Mode::Entry, 0, this); });
    m_screens.insert(QStringLiteral("View Citation"), [this] { return new CitationListScreen(m_ctx, this); });
    m_screens.insert(QStringLiteral("Find Citation"), [this] { return new FindCitationScreen(m_ctx, this); });
    m_screens.insert(QStringLiteral("Synchronize"), [this] { return new SynchroniseScreen(m_ctx, this); });
}

void MainWindow::openScreen(const QString& key)
{
    const auto factory = m_screens.find(key);
    if (factory == m_screens.end())
        return;
    Hourglass busy;
    QDialog* screen = factory.value()();
    screen->setAttribute(Qt::WA_DeleteOnClose);
    busy.release();
    screen->exec();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    m_backupActions->backupIfDue();
    QMainWindow::closeEvent(event);
}

void MainWindow::showAbout()
{
    if (!m_about) {
        m_about = new AboutScreen(this);
        m_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_about->show();
    m_about->raise();
}
