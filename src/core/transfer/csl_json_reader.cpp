#include "core/transfer/csl_json_reader.h"

#include "core/transfer/csl_json_mapping.h"

#include <QDir>
#include <QJsonDocument>

namespace {
constexpr qint64 kBlock = 64 * 1024;
} // namespace

CslJsonReader::CslJsonReader(const QString& fileName)
    : m_file(fileName)
{}

int CslJsonReader::peek()
{
    if (m_pos >= m_buffer.size()) {
        m_buffer = m_file.read(kBlock);
        m_pos = 0;
        if (m_buffer.isEmpty())
            return -1;
    }
    return static_cast<unsigned char>(m_buffer.at(m_pos));
}

int CslJsonReader::get()
{
    const int c = peek();
    if (c >= 0) {
        ++m_pos;
        ++m_consumed;
    }
    return c;
}

int CslJsonReader::skipBlanks()
{
    int c = peek();
    while (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        get();
        c = peek();
    }
    return c;
}

Error CslJsonReader::open()
{
    const QString shown = QDir::toNativeSeparators(m_file.fileName());
    if (!m_file.open(QIODevice::ReadOnly))
        return Error::of(m_file.exists() ? Error::Kind::Io : Error::Kind::NotFound,
                         QStringLiteral("Could not read %1: %2").arg(shown, m_file.errorString()));
    if (peek() == 0xEF) { // a byte-order mark
        for (int i = 0; i < 3; ++i)
            get();
    }
    const int first = skipBlanks();
    if (first == '[') {
        get();
        return {};
    }
    if (first == '{') {
        m_single = true;
        return {};
    }
    return Error::other(QStringLiteral("%1 is not CSL-JSON: it does not begin with a list of items.").arg(shown));
}

Result<bool> CslJsonReader::nextItem(QByteArray* item)
{
    item->clear();
    if (m_done)
        return false;
    int c = skipBlanks();
    if (!m_single && m_items > 0) {
        if (c == ',') {
            get();
            c = skipBlanks();
        } else if (c != ']') {
            return Error::other(
                QStringLiteral("The items of the file are not separated by commas after item %1.").arg(m_items));
        }
    }
    if (c == ']' || c < 0) {
        m_done = true;
        if (c < 0 && !m_single)
            return Error::other(QStringLiteral("The file ends before its list of items is closed."));
        return false;
    }
    // Cut one value out: up to the bracket that closes the one it opens, strings and escapes heeded.
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (;;) {
        const int b = get();
        if (b < 0)
            return Error::other(QStringLiteral("The file ends inside item %1.").arg(m_items + 1));
        *item += char(b);
        if (inString) {
            if (escaped)
                escaped = false;
            else if (b == '\\')
                escaped = true;
            else if (b == '"')
                inString = false;
            continue;
        }
        if (b == '"') {
            inString = true;
        } else if (b == '{' || b == '[') {
            ++depth;
        } else if (b == '}' || b == ']') {
            if (--depth <= 0)
                break;
        } else if (depth == 0) {
            // A bare number or word as an item ends where the next separator or blank begins.
            const int n = peek();
            if (n < 0 || n == ',' || n == ']' || n == ' ' || n == '\t' || n == '\r' || n == '\n')
                break;
        }
    }
    ++m_items;
    if (m_single)
        m_done = true;
    return true;
}

Result<bool> CslJsonReader::next(TransferRecord* record)
{
    QByteArray bytes;
    const Result<bool> got = nextItem(&bytes);
    if (!got || !*got)
        return got;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        *record = TransferRecord();
        record->place = m_items;
        record->problem = doc.isNull() ? QStringLiteral("the item is not JSON: %1.").arg(parseError.errorString())
                                       : QStringLiteral("the item is not an object.");
        return true;
    }
    *record = CslJsonMapping::record(doc.object(), m_items);
    return true;
}

int CslJsonReader::percent() const
{
    const qint64 size = m_file.size();
    return size > 0 ? int(qMin<qint64>(100, m_consumed * 100 / size)) : 100;
}
