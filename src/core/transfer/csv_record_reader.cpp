#include "core/transfer/csv_record_reader.h"

#include <QIODevice>
#include <QStringDecoder>

namespace {
constexpr qint64 kBlock = 64 * 1024;
} // namespace

CsvRecordReader::CsvRecordReader(QIODevice& device)
    : m_device(device)
{}

bool CsvRecordReader::fill()
{
    if (m_ended)
        return false;
    m_buffer = m_device.read(kBlock);
    m_pos = 0;
    if (m_buffer.isEmpty()) {
        m_ended = true;
        return false;
    }
    return true;
}

int CsvRecordReader::peek()
{
    if (m_pos >= m_buffer.size() && !fill())
        return -1;
    return static_cast<unsigned char>(m_buffer.at(m_pos));
}

int CsvRecordReader::get()
{
    const int c = peek();
    if (c >= 0) {
        ++m_pos;
        ++m_consumed;
    }
    return c;
}

bool CsvRecordReader::next(Record* record)
{
    if (!m_started) {
        m_started = true;
        // A byte-order mark is three bytes at the very start.
        if (peek() == 0xEF && m_buffer.size() - m_pos >= 3 && m_buffer.mid(m_pos, 3) == QByteArray("\xEF\xBB\xBF")) {
            m_pos += 3;
            m_consumed += 3;
        }
    }
    *record = Record();
    record->line = m_line;
    if (peek() < 0)
        return false;
    QByteArray field;
    bool inQuotes = false;
    bool quotedField = false;
    for (;;) {
        const int c = get();
        if (c < 0) {
            record->unclosedQuote = inQuotes;
            break;
        }
        if (inQuotes) {
            if (c == '"') {
                if (peek() == '"') {
                    get();
                    field += '"';
                } else {
                    inQuotes = false;
                }
            } else {
                field += char(c);
                if (c == '\n' || (c == '\r' && peek() != '\n'))
                    ++m_line;
            }
            continue;
        }
        if (c == ',') {
            record->fields << field;
            field.clear();
            quotedField = false;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && peek() == '\n')
                get();
            ++m_line;
            break;
        } else if (c == '"' && field.isEmpty() && !quotedField) {
            inQuotes = true;
            quotedField = true;
            record->quoted = true;
        } else {
            // A quote inside an unquoted field, or text after a closing quote, is taken as it stands.
            field += char(c);
        }
    }
    record->fields << field;
    return true;
}

bool CsvRecordReader::decode(const QList<QByteArray>& fields, QStringList* texts)
{
    texts->clear();
    for (const QByteArray& bytes : fields) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8.decode(bytes);
        if (utf8.hasError())
            return false;
        *texts << text;
    }
    return true;
}
