#include "gui/common/help_access.h"

#include "core/shell/app_info.h"
#include "gui/common/chelp.h"
#include "gui/common/message_box.h"

#include <QFileInfo>

QString HelpAccess::helpFilePath(const QString& programDir)
{
    return programDir + QStringLiteral("/Help/Lexorium.chm");
}

QString HelpAccess::startTopic(const QString& programDir)
{
    return helpFilePath(programDir) + QStringLiteral("::/startup.htm");
}

bool HelpAccess::helpFileExists(const QString& programDir)
{
    return QFileInfo(helpFilePath(programDir)).isFile();
}

bool HelpAccess::showContents(QWidget* owner, const QString& programDir)
{
    return showMenuHelp(owner, programDir, CHelp::DisplayToc);
}

bool HelpAccess::showIndex(QWidget* owner, const QString& programDir)
{
    return showMenuHelp(owner, programDir, CHelp::DisplayIndex);
}

bool HelpAccess::showSearch(QWidget* owner, const QString& programDir)
{
    return showMenuHelp(owner, programDir, CHelp::DisplaySearch);
}

bool HelpAccess::showMenuHelp(QWidget* owner, const QString& programDir, int command)
{
    if (!helpFileExists(programDir)) {
        MessageBox::information(owner, QStringLiteral("Cannot find help file associated with SelControl"),
                                applicationTitle());
        return false;
    }
    // A file that is there but cannot be shown must not pass in silence.
    if (const Error error = m_help.htmlHelp(owner, startTopic(programDir), command)) {
        MessageBox::information(owner, error.description, applicationTitle());
        return false;
    }
    return true;
}

bool HelpAccess::showScreenHelp(QWidget* owner, const QString& programDir, int contextId)
{
    if (!helpFileExists(programDir)) {
        MessageBox::information(owner, QStringLiteral("No help is associated with this topic."), applicationTitle());
        return false;
    }
    return m_help.Show(helpFilePath(programDir), QString(), contextId);
}
