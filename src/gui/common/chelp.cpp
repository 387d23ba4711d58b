#include "gui/common/chelp.h"

#include "core/shell/app_info.h"
#include "gui/common/help_window.h"
#include "gui/common/hourglass.h"
#include "gui/common/message_box.h"

#include <QApplication>
#include <QFileInfo>

namespace {
struct Target {
    QString file;
    QString topic;
};

Target parseTarget(const QString& target)
{
    QString rest = target;
    // The window name after ">" chooses a window layout; this viewer has one.
    const qsizetype inFile = rest.indexOf(QLatin1String("::"));
    const qsizetype pane = rest.lastIndexOf(QLatin1Char('>'));
    if (pane >= 0 && pane > inFile)
        rest.truncate(pane);
    if (inFile >= 0)
        return {rest.left(inFile).trimmed(), rest.mid(inFile + 2).trimmed()};
    return {rest.trimmed(), QString()};
}

bool sameFile(const QString& a, const QString& b)
{
    const QFileInfo left(a);
    const QFileInfo right(b);
    return left.exists() && right.exists() ? left.canonicalFilePath() == right.canonicalFilePath()
                                           : left.absoluteFilePath() == right.absoluteFilePath();
}
} // namespace

CHelp::~CHelp()
{
    delete m_window.data();
}

HelpWindow* CHelp::window() const
{
    return m_window;
}

bool CHelp::Show(const QString& newFile, const QString& windowPane, std::optional<int> contextId)
{
    Hourglass hourglass;
    QString target = newFile;
    if (!windowPane.isEmpty())
        target = newFile.trimmed() + QLatin1Char('>') + windowPane.trimmed();
    const Error error =
        contextId ? htmlHelp(nullptr, target, HelpContext, *contextId) : htmlHelp(nullptr, target, DisplayTopic, 0);
    if (error) {
        hourglass.release();
        MessageBox::information(nullptr, error.description, applicationTitle());
    }
    return !error;
}

Error CHelp::htmlHelp(QWidget* owner, const QString& target, int command, int data)
{
    if (command != DisplayTopic && command != DisplayToc && command != DisplayIndex && command != DisplaySearch &&
        command != HelpContext)
        return Error::other(QStringLiteral("The help command %1 is not known.").arg(command));
    const Target parsed = parseTarget(target);
    if (parsed.file.isEmpty())
        return Error::other(QStringLiteral("No help file was named."));

    // A help window over a modal screen must belong to it, or the screen would keep it from taking input.
    QWidget* parent = owner ? owner->window() : QApplication::activeModalWidget();
    HelpWindow* window = m_window;
    bool created = false;
    if (!window || !sameFile(window->fileName(), parsed.file)) {
        window = new HelpWindow(parent);
        created = true;
        if (Error e = window->openFile(parsed.file)) {
            delete window;
            return e;
        }
    }

    QString topic = parsed.topic;
    if (command == HelpContext) {
        const std::optional<QString> mapped = window->helpFile().topicForContext(data);
        if (!mapped) {
            if (created)
                delete window;
            return Error::of(Error::Kind::NotFound,
                             QStringLiteral("No topic of the help file %1 is mapped to the help context %2.")
                                 .arg(parsed.file)
                                 .arg(data));
        }
        topic = *mapped;
    } else if (topic.isEmpty()) {
        topic = window->helpFile().defaultTopic();
    }
    if (Error e = window->showTopic(topic)) {
        if (created)
            delete window;
        return e;
    }

    if (created) {
        delete m_window.data();
        m_window = window;
    } else if (window->parentWidget() != parent) {
        window->setParent(parent, Qt::Window);
    }
    if (command == DisplayToc)
        window->showTab(HelpWindow::Tab::Contents);
    else if (command == DisplayIndex)
        window->showTab(HelpWindow::Tab::Index);
    else if (command == DisplaySearch)
        window->showTab(HelpWindow::Tab::Search);
    window->show();
    window->raise();
    window->activateWindow();
    return {};
}
