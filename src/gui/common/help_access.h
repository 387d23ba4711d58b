#pragma once

#include <QString>

class CHelp;
class QWidget;

// The program's ways into help: the main window's Help menu and every screen's help button. Each first makes sure
// the help file is there, and otherwise says so and opens nothing.
class HelpAccess
{
public:
    explicit HelpAccess(CHelp& help)
        : m_help(help)
    {}

    static QString helpFilePath(const QString& programDir);
    // The start topic, which the contents, index and search all open on.
    static QString startTopic(const QString& programDir);
    static bool helpFileExists(const QString& programDir);

    bool showContents(QWidget* owner, const QString& programDir);
    bool showIndex(QWidget* owner, const QString& programDir);
    bool showSearch(QWidget* owner, const QString& programDir);
    bool showScreenHelp(QWidget* owner, const QString& programDir, int contextId);

private:
    bool showMenuHelp(QWidget* owner, const QString& programDir, int command);

    CHelp& m_help;
};
