#include "help/chm_file.h"

#include "help/chm_archive.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QStringConverter>
#include <QtEndian>

#include <algorithm>
#include <utility>

namespace {

constexpr int MaxContentsDepth = 64;

quint32 readUInt32(const QByteArray& data, qsizetype at)
{
    return qFromLittleEndian<quint32>(data.constData() + at);
}

quint16 readUInt16(const QByteArray& data, qsizetype at)
{
    return qFromLittleEndian<quint16>(data.constData() + at);
}

QString cString(const QByteArray& data, qsizetype at)
{
    if (at < 0 || at >= data.size())
        return QString();
    const qsizetype end = data.indexOf('\0', at);
    return QString::fromUtf8(data.mid(at, end < 0 ? -1 : end - at));
}

QString decodeHtml(const QByteArray& html)
{
    const std::optional<QStringConverter::Encoding> encoding = QStringConverter::encodingForHtml(html);
    QStringDecoder decoder(encoding.value_or(QStringConverter::Utf8));
    return decoder.decode(html);
}

QString decodeEntities(const QString& text)
{
    static const QHash<QString, QChar> named = {
        {QStringLiteral("amp"), QLatin1Char('&')},   {QStringLiteral("lt"), QLatin1Char('<')},
        {QStringLiteral("gt"), QLatin1Char('>')},    {QStringLiteral("quot"), QLatin1Char('"')},
        {QStringLiteral("apos"), QLatin1Char('\'')}, {QStringLiteral("nbsp"), QLatin1Char(' ')},
        {QStringLiteral("copy"), QChar(0xA9)},
    };
    static const QRegularExpression entity(QStringLiteral("&(#[0-9]+|#[xX][0-9a-fA-F]+|[a-zA-Z]+);"));
    if (!text.contains(QLatin1Char('&')))
        return text;
    QString result;
    qsizetype last = 0;
    QRegularExpressionMatchIterator it = entity.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString name = m.captured(1);
        QString replacement = m.captured(0);
        if (name.startsWith(QLatin1Char('#'))) {
            bool ok = false;
            const bool hex = name.size() > 1 && (name.at(1) == QLatin1Char('x') || name.at(1) == QLatin1Char('X'));
            const uint code = hex ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF) {
                const char32_t character = code;
                replacement = QString::fromUcs4(&character, 1);
            }
        } else if (named.contains(name.toLower())) {
            replacement = named.value(name.toLower());
        }
        result += QStringView(text).mid(last, m.capturedStart() - last);
        result += replacement;
        last = m.capturedEnd();
    }
    result += QStringView(text).mid(last);
    return result;
}

QHash<QString, QString> tagAttributes(const QString& attributeText)
{
    static const QRegularExpression attribute(
        QStringLiteral("([A-Za-z_:][-A-Za-z0-9_:.]*)\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"));
    QHash<QString, QString> attributes;
    QRegularExpressionMatchIterator it = attribute.globalMatch(attributeText);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        QString value = m.captured(2);
        if (m.capturedStart(3) >= 0)
            value = m.captured(3);
        else if (m.capturedStart(4) >= 0)
            value = m.captured(4);
        attributes.insert(m.captured(1).toLower(), decodeEntities(value));
    }
    return attributes;
}

// One <OBJECT type="text/sitemap"> of a contents or index file, with the depth of <UL> it stands at.
struct SitemapItem {
    int depth = 0;
    QString name;
    QStringList locals;
};

// Contents and index files are loose HTML; only the lists, the sitemap objects and their parameters matter.
QList<SitemapItem> sitemapItems(const QString& html)
{
    static const QRegularExpression tag(QStringLiteral("<(/?)([A-Za-z]+)([^>]*)>"));
    QList<SitemapItem> items;
    int depth = 0;
    bool inItem = false;
    SitemapItem current;
    QRegularExpressionMatchIterator it = tag.globalMatch(html);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const bool closing = !m.captured(1).isEmpty();
        const QString name = m.captured(2).toLower();
        if (name == QLatin1String("ul")) {
            depth = closing ? std::max(0, depth - 1) : depth + 1;
        } else if (name == QLatin1String("object")) {
            if (!closing) {
                const QString type = tagAttributes(m.captured(3)).value(QStringLiteral("type")).toLower();
                inItem = type == QLatin1String("text/sitemap");
                current = SitemapItem{depth, QString(), QStringList()};
            } else if (inItem) {
                inItem = false;
                if (!current.name.isEmpty() || !current.locals.isEmpty())
                    items.append(current);
            }
        } else if (name == QLatin1String("param") && inItem) {
            const QHash<QString, QString> attributes = tagAttributes(m.captured(3));
            const QString param = attributes.value(QStringLiteral("name")).toLower();
            const QString value = attributes.value(QStringLiteral("value"));
            if (param == QLatin1String("name") && current.name.isEmpty())
                current.name = value;
            else if (param == QLatin1String("local") && !value.isEmpty())
                current.locals.append(ChmFile::normalisedPath(value));
        }
    }
    return items;
}

// The object a path names: without a "#fragment", which the file's own "/#SYSTEM"-style names are not.
QString objectName(const QString& path)
{
    QString name = ChmFile::normalisedPath(path);
    const qsizetype fragment = name.indexOf(QLatin1Char('#'), 2);
    if (fragment > 1 && name.at(fragment - 1) != QLatin1Char('/'))
        name.truncate(fragment);
    return name;
}

} // namespace

ChmFile::ChmFile() = default;

ChmFile::~ChmFile()
{
    close();
}

Error ChmFile::open(const QString& fileName)
{
    close();
    m_fileName = fileName;
    if (!QFile::exists(fileName))
        return Error::of(Error::Kind::NotFound, QStringLiteral("The help file %1 does not exist.").arg(fileName));
    // The whole file is read into memory, so it must be a plain file of a size a help file can have. The message
    // names the file, not the archive's reason, which would tell the user nothing more.
    QFile file(fileName);
    if (file.open(QIODevice::ReadOnly) && !file.isSequential() && file.size() <= ChmArchive::MaxSize) {
        Result<std::unique_ptr<ChmArchive>> archive = ChmArchive::open(file.readAll());
        if (archive)
            m_archive = std::move(*archive);
    }
    if (!m_archive)
        return Error::of(Error::Kind::Io, QStringLiteral("The help file %1 cannot be read.").arg(fileName));
    readSystem();
    return {};
}

void ChmFile::close()
{
    m_archive.reset();
    m_title.clear();
    m_defaultTopic.clear();
    m_contentsFile.clear();
    m_indexFile.clear();
}

QStringList ChmFile::objects() const
{
    return m_archive ? m_archive->names() : QStringList();
}

bool ChmFile::contains(const QString& path) const
{
    return m_archive && m_archive->contains(objectName(path));
}

std::optional<QByteArray> ChmFile::read(const QString& path) const
{
    if (!m_archive)
        return std::nullopt;
    return m_archive->read(objectName(path));
}

// The system object is a version word followed by records of (code, length, data); codes 0 to 3 are the contents
// file, the index file, the default topic and the title.
void ChmFile::readSystem()
{
    const QByteArray system = read(QStringLiteral("/#SYSTEM")).value_or(QByteArray());
    qsizetype at = 4;
    while (at + 4 <= system.size()) {
        const quint16 code = readUInt16(system, at);
        const quint16 length = readUInt16(system, at + 2);
        at += 4;
        if (at + length > system.size())
            break;
        const QString value = cString(system.left(at + length), at);
        switch (code) {
        case 0:
            m_contentsFile = normalisedPath(value);
            break;
        case 1:
            m_indexFile = normalisedPath(value);
            break;
        case 2:
            m_defaultTopic = normalisedPath(value);
            break;
        case 3:
            m_title = value;
            break;
        default:
            break;
        }
        at += length;
    }
    if (m_contentsFile.isEmpty() || !contains(m_contentsFile))
        m_contentsFile = locateSitemap(m_contentsFile, QStringLiteral(".hhc"));
    if (m_indexFile.isEmpty() || !contains(m_indexFile))
        m_indexFile = locateSitemap(m_indexFile, QStringLiteral(".hhk"));
}

QString ChmFile::locateSitemap(const QString& named, const QString& suffix) const
{
    if (!named.isEmpty() && contains(named))
        return named;
    const QStringList all = objects();
    for (const QString& path : all) {
        if (path.endsWith(suffix, Qt::CaseInsensitive) && path.count(QLatin1Char('/')) == 1)
            return path;
    }
    return QString();
}

QList<ChmFile::ContentsNode> ChmFile::contents() const
{
    const std::optional<QByteArray> data = m_contentsFile.isEmpty() ? std::nullopt : read(m_contentsFile);
    if (!data)
        return {};
    QList<ContentsNode> roots;
    // Each item hangs under the last item one list level above it.
    QList<QList<ContentsNode>*> levels;
    const QList<SitemapItem> items = sitemapItems(decodeHtml(*data));
    for (const SitemapItem& item : items) {
        ContentsNode node{item.name, item.locals.value(0), {}};
        // Past any real contents file's depth, lists nested in their thousands would only make the tree deep
        // enough for the recursion that copies and frees it to exhaust the stack.
        const int depth = std::clamp(item.depth, 1, MaxContentsDepth);
        if (levels.isEmpty())
            levels.append(&roots);
        while (levels.size() > depth)
            levels.removeLast();
        while (levels.size() < depth && !levels.last()->isEmpty())
            levels.append(&levels.last()->last().children);
        levels.last()->append(node);
    }
    return roots;
}

QList<ChmFile::IndexEntry> ChmFile::index() const
{
    const std::optional<QByteArray> data = m_indexFile.isEmpty() ? std::nullopt : read(m_indexFile);
    if (!data)
        return {};
    QList<IndexEntry> entries;
    const QList<SitemapItem> items = sitemapItems(decodeHtml(*data));
    for (const SitemapItem& item : items) {
        for (const QString& local : item.locals)
            entries.append({item.name, local});
    }
    return entries;
}

// The compiled context map: #IVB holds its byte length, then pairs of (context number, offset into #STRINGS) whose
// string is the alias's file as the compiler saw it.
std::optional<QString> ChmFile::topicForContext(int contextId) const
{
    const std::optional<QByteArray> ivb = read(QStringLiteral("/#IVB"));
    const std::optional<QByteArray> strings = read(QStringLiteral("/#STRINGS"));
    if (!ivb || !strings || ivb->size() < 4)
        return std::nullopt;
    const qsizetype end = std::min<qsizetype>(ivb->size(), 4 + static_cast<qsizetype>(readUInt32(*ivb, 0)));
    for (qsizetype at = 4; at + 8 <= end; at += 8) {
        if (readUInt32(*ivb, at) != static_cast<quint32>(contextId))
            continue;
        const QString stored = cString(*strings, static_cast<qsizetype>(readUInt32(*ivb, at + 4)));
        const QString path = resolveStoredPath(stored);
        if (!path.isEmpty())
            return path;
    }
    return std::nullopt;
}

// A compiler may store the alias's file with the folder it was compiled in; the topic is the longest tail of that
// path that names an object of the file.
QString ChmFile::resolveStoredPath(const QString& stored) const
{
    QString path = stored;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const qsizetype inFile = path.indexOf(QLatin1String("::"));
    if (inFile >= 0)
        path = path.mid(inFile + 2);
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype first = 0; first < parts.size(); ++first) {
        const QString candidate = QLatin1Char('/') + parts.mid(first).join(QLatin1Char('/'));
        if (contains(candidate))
            return candidate;
    }
    return QString();
}

QString ChmFile::topicTitle(const QString& path) const
{
    const std::optional<QByteArray> data = read(path);
    if (!data)
        return QString();
    static const QRegularExpression title(QStringLiteral("<title[^>]*>(.*)</title>"),
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption |
                                              QRegularExpression::InvertedGreedinessOption);
    const QRegularExpressionMatch m = title.match(decodeHtml(*data));
    return m.hasMatch() ? decodeEntities(m.captured(1)).simplified() : QString();
}

QString ChmFile::plainText(const QByteArray& html)
{
    static const QRegularExpression hidden(QStringLiteral("<(script|style)[^>]*>.*</\\1\\s*>"),
                                           QRegularExpression::CaseInsensitiveOption |
                                               QRegularExpression::DotMatchesEverythingOption |
                                               QRegularExpression::InvertedGreedinessOption);
    static const QRegularExpression comment(QStringLiteral("<!--.*-->"),
                                            QRegularExpression::DotMatchesEverythingOption |
                                                QRegularExpression::InvertedGreedinessOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    QString text = decodeHtml(html);
    text.remove(hidden);
    text.remove(comment);
    text.replace(tag, QStringLiteral(" "));
    return decodeEntities(text).simplified();
}

QList<ChmFile::SearchHit> ChmFile::search(const QString& text) const
{
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty() || !m_archive)
        return {};
    QList<SearchHit> hits;
    const QStringList all = objects();
    for (const QString& path : all) {
        if (!path.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive) &&
            !path.endsWith(QLatin1String(".html"), Qt::CaseInsensitive))
            continue;
        const std::optional<QByteArray> data = read(path);
        if (!data)
            continue;
        const QString plain = plainText(*data);
        const bool allFound = std::all_of(words.cbegin(), words.cend(), [&plain](const QString& word) {
            return plain.contains(word, Qt::CaseInsensitive);
        });
        if (allFound) {
            const QString title = topicTitle(path);
            hits.append({title.isEmpty() ? path.mid(1) : title, path});
        }
    }
    std::sort(hits.begin(), hits.end(),
              [](const SearchHit& a, const SearchHit& b) { return QString::localeAwareCompare(a.title, b.title) < 0; });
    return hits;
}

QString ChmFile::normalisedPath(const QString& local)
{
    QString path = local.trimmed();
    const qsizetype inFile = path.indexOf(QLatin1String("::"));
    if (inFile >= 0)
        path = path.mid(inFile + 2);
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));
    return path;
}
