#pragma once

#include "core/util/error.h"

#include <QPointer>
#include <QString>

#include <optional>

class HelpWindow;
class QWidget;

// Opens the help viewer; it owns the one help window it shows, which closes when this object goes.
class CHelp
{
public:
    // The viewer's commands.
    enum Command { DisplayTopic = 0, DisplayToc = 1, DisplayIndex = 2, DisplaySearch = 3, HelpContext = 15 };

    CHelp() = default;
    ~CHelp();
    CHelp(const CHelp&) = delete;
    CHelp& operator=(const CHelp&) = delete;

    // A screen's help: the file's default topic, or with a context number the topic mapped to it. A failure is
    // reported in a message box; the result says whether help was shown.
    bool Show(const QString& newFile, const QString& windowPane = QString(), std::optional<int> contextId = {});

    // The viewer itself. target is "file.chm", optionally followed by "::/topic.htm" and by ">window"; data is the
    // context number of HelpContext. On failure nothing new is shown: NotFound for a missing file, topic or context,
    // Io for a file that cannot be read, Other for a command or target that makes no sense.
    Error htmlHelp(QWidget* owner, const QString& target, int command, int data = 0);

    HelpWindow* window() const;

private:
    QPointer<HelpWindow> m_window;
};
