#pragma once

#include "core/util/error.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class ChmArchive;

// A compiled HTML help file. Topic paths inside the file start with "/" ("/startup.htm"). A damaged file is refused
// by open(), or the objects it cannot give back read as missing.
class ChmFile
{
public:
    struct ContentsNode {
        QString name;
        QString local;
        QList<ContentsNode> children;
    };
    struct IndexEntry {
        QString keyword;
        QString local;
    };
    struct SearchHit {
        QString title;
        QString local;
    };

    ChmFile();
    ~ChmFile();
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    // NotFound when there is no such file, Io when it cannot be read as a help file; either way it is left closed.
    Error open(const QString& fileName);
    void close();
    bool isOpen() const { return m_archive != nullptr; }
    QString fileName() const { return m_fileName; }

    QStringList objects() const;
    bool contains(const QString& path) const;
    std::optional<QByteArray> read(const QString& path) const;

    // From the file's own settings, as the help project gave them.
    QString title() const { return m_title; }
    QString defaultTopic() const { return m_defaultTopic; }

    QList<ContentsNode> contents() const;
    QList<IndexEntry> index() const;
    // The topic the help project's context map gives for a context number.
    std::optional<QString> topicForContext(int contextId) const;
    QString topicTitle(const QString& path) const;
    // Topics holding every word of the text, ignoring case and markup, ordered by title.
    QList<SearchHit> search(const QString& text) const;

    // "a.htm", "/a.htm" and "Lexorium.chm::/a.htm" all name the object "/a.htm".
    static QString normalisedPath(const QString& local);
    static QString plainText(const QByteArray& html);

private:
    void readSystem();
    QString locateSitemap(const QString& named, const QString& suffix) const;
    QString resolveStoredPath(const QString& stored) const;

    std::unique_ptr<ChmArchive> m_archive;
    QString m_fileName;
    QString m_title;
    QString m_defaultTopic;
    QString m_contentsFile;
    QString m_indexFile;
};
