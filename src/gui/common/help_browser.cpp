#include "gui/common/help_browser.h"

#include "help/chm_file.h"

#include <QDesktopServices>

namespace {
const QString& chmScheme()
{
    static const QString scheme = QStringLiteral("chm");
    return scheme;
}
} // namespace

HelpBrowser::HelpBrowser(QWidget* parent)
    : QTextBrowser(parent)
{
    // Links inside the file stay here; anything else belongs to the desktop.
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &HelpBrowser::followLink);
}

QUrl HelpBrowser::topicUrl(const QString& path)
{
    QString topic = ChmFile::normalisedPath(path);
    QUrl url;
    url.setScheme(chmScheme());
    const qsizetype fragment = topic.indexOf(QLatin1Char('#'), 2);
    if (fragment > 1) {
        url.setFragment(topic.mid(fragment + 1));
        topic.truncate(fragment);
    }
    url.setPath(topic);
    return url;
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name)
{
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    if (!m_file || url.scheme() != chmScheme())
        return QVariant();
    const std::optional<QByteArray> data = m_file->read(url.path());
    if (!data)
        return QVariant();
    if (type == QTextDocument::StyleSheetResource)
        return QString::fromUtf8(*data);
    return *data;
}

void HelpBrowser::followLink(const QUrl& url)
{
    const QUrl target = url.isRelative() ? source().resolved(url) : url;
    if (target.scheme() == chmScheme()) {
        setSource(target);
        return;
    }
    QDesktopServices::openUrl(target);
}
