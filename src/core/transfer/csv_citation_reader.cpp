#include "core/transfer/csv_citation_reader.h"

#include "core/transfer/transfer_columns.h"

#include <QDir>

CsvCitationReader::CsvCitationReader(const QString& fileName)
    : m_file(fileName)
{}

Error CsvCitationReader::open()
{
    const QString shown = QDir::toNativeSeparators(m_file.fileName());
    if (!m_file.open(QIODevice::ReadOnly))
        return Error::of(m_file.exists() ? Error::Kind::Io : Error::Kind::NotFound,
                         QStringLiteral("Could not read %1: %2").arg(shown, m_file.errorString()));
    m_reader = std::make_unique<CsvRecordReader>(m_file);
    CsvRecordReader::Record header;
    while (m_reader->next(&header) && header.isBlank()) {
    }
    QStringList names;
    if (header.fields.isEmpty() || header.isBlank())
        return Error::other(QStringLiteral("%1 holds no first row naming the columns.").arg(shown));
    if (header.unclosedQuote || !CsvRecordReader::decode(header.fields, &names))
        return Error::other(QStringLiteral("The first row of %1 is not CSV text in UTF-8.").arg(shown));
    Result<QList<int>> columns = TransferColumns::match(names);
    if (!columns)
        return columns.error();
    m_columns = *columns;
    return {};
}

Result<bool> CsvCitationReader::next(TransferRecord* record)
{
    CsvRecordReader::Record raw;
    do {
        if (!m_reader->next(&raw))
            return false;
    } while (raw.isBlank());
    QStringList cells;
    if (!CsvRecordReader::decode(raw.fields, &cells)) {
        *record = TransferRecord();
        record->place = raw.line;
        record->problem = QStringLiteral("the line is not UTF-8 text.");
        return true;
    }
    *record = TransferColumns::record(m_columns, cells, raw.line);
    if (raw.unclosedQuote)
        record->problem = QStringLiteral("a quoted field is not closed before the end of the file.");
    return true;
}

int CsvCitationReader::percent() const
{
    const qint64 size = m_file.size();
    return m_reader && size > 0 ? int(m_reader->bytesRead() * 100 / size) : 100;
}
