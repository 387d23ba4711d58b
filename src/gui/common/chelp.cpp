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

void fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
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
    QString error;
    const bool shown = contextId ? htmlHelp(nullptr, target, HelpContext, *contextId, &error)
                                 : htmlHelp(nullptr, target, DisplayTopic, 0, &error);
    if (!shown) {
        hourglass.release();
        MessageBox::information(nullptr, error, applicationTitle());
    }
    return shown;
}

bool CHelp::htmlHelp(QWidget* owner, const QString& target, int command, int data, QString* error)
{
    if (command != DisplayTopic && command != DisplayToc && command != DisplayIndex && command != DisplaySearch &&
        command != HelpContext) {
        fail(error, QStringLiteral("The help command %1 is not known.").arg(command));
        return false;
    }
    const Target parsed = parseTarget(target);
    if (parsed.file.isEmpty()) {
        fail(error, QStringLiteral("No help file was named."));
        return false;
    }

    // A help window over a modal screen must belong to it, or the screen would keep it from taking input.
    QWidget* parent = owner ? owner->window() : QApplication::activeModalWidget();
    HelpWindow* window = m_window;
    bool created = false;
    if (!window || !sameFile(window->fileName(), parsed.file)) {
        window = new HelpWindow(parent);
        created = true;
        QString openError;
        if (!window->openFile(parsed.file, &openError)) {
            delete window;
            fail(error, openError);
            return false;
        }
    }

    QString topic = parsed.topic;
    if (command == HelpContext) {
        const std::optional<QString> mapped = window->helpFile().topicForContext(data);
        if (!mapped) {
            if (created)
                delete window;
            fail(error, QStringLiteral("No topic of the help file %1 is mapped to the help context %2.")
                            .arg(parsed.file)
                            .arg(data));
            return false;
        }
        topic = *mapped;
    } else if (topic.isEmpty()) {
        topic = window->helpFile().defaultTopic();
    }
    QString topicError;
    if (!window->showTopic(topic, &topicError)) {
        if (created)
            delete window;
        fail(error, topicError);
        return false;
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
    return true;
}
