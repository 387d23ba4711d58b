#pragma once

#include "core/db/db_context.h"
#include "gui/common/chelp.h"
#include "gui/common/help_access.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <functional>

class BackupActions;
class QAction;
class QCloseEvent;
class QDialog;
class QToolBar;
class AboutScreen;

// The main window: menu and toolbar to every other screen, each opened modally over it.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(const DbContext& ctx, QWidget* parent = nullptr);

    const DbContext& context() const { return m_ctx; }
    HelpAccess& helpAccess() { return m_helpAccess; }

    // Opens the screen behind a menu item or toolbar key ("Act", "Category", "Court", ...), modally.
    void openScreen(const QString& key);
    // Backup..., Restore... and Check Database..., and the daily backup at closing.
    BackupActions& backupActions() { return *m_backupActions; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void buildToolbar();
    void setMenuIcons();
    QAction* addItem(QMenu* menu, const QString& name, const QString& caption);
    QMenu* addSubmenu(QMenu* parentMenu, const QString& name, const QString& caption);
    QAction* addScreenItem(QMenu* menu, const QString& name, const QString& caption, const QString& key);
    void registerScreens();
    void enableScreens();
    void showAbout();

    DbContext m_ctx;
    CHelp m_help;
    HelpAccess m_helpAccess;
    QPointer<AboutScreen> m_about;
    QHash<QString, std::function<QDialog*()>> m_screens;
    BackupActions* m_backupActions = nullptr;
};
