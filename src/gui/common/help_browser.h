#pragma once

#include <QTextBrowser>

class ChmFile;

// The topic pane: pages, pictures and style sheets come out of the open help file, addressed as "chm:/topic.htm".
class HelpBrowser : public QTextBrowser
{
    Q_OBJECT

public:
    explicit HelpBrowser(QWidget* parent = nullptr);

    void setHelpFile(const ChmFile* file) { m_file = file; }
    static QUrl topicUrl(const QString& path);

    QVariant loadResource(int type, const QUrl& name) override;

private:
    void followLink(const QUrl& url);

    const ChmFile* m_file = nullptr;
};
