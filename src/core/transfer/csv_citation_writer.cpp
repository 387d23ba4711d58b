#include "core/transfer/csv_citation_writer.h"

#include "core/transfer/transfer_columns.h"

#include <QDir>

CsvCitationWriter::CsvCitationWriter(const QString& fileName)
    : m_file(fileName)
{
    m_file.setDirectWriteFallback(false);
}

QByteArray CsvCitationWriter::line(const QStringList& fields)
{
    QByteArray out;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ',';
        const QString& f = fields.at(i);
        const bool quote = f.contains(QLatin1Char(',')) || f.contains(QLatin1Char('"')) ||
                           f.contains(QLatin1Char('\n')) || f.contains(QLatin1Char('\r')) ||
                           f.startsWith(QLatin1Char(' ')) || f.endsWith(QLatin1Char(' '));
        if (!quote) {
            out += f.toUtf8();
            continue;
        }
        QString doubled = f;
        doubled.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        out += '"' + doubled.toUtf8() + '"';
    }
    return out + "\r\n";
}

Error CsvCitationWriter::write(const QByteArray& bytes)
{
    if (m_file.write(bytes) == bytes.size())
        return {};
    return Error::of(Error::Kind::Io, QStringLiteral("Could not write %1: %2")
                                          .arg(QDir::toNativeSeparators(m_file.fileName()), m_file.errorString()));
}

Error CsvCitationWriter::begin()
{
    if (!m_file.open(QIODevice::WriteOnly))
        return Error::of(Error::Kind::Io, QStringLiteral("Could not write %1: %2")
                                              .arg(QDir::toNativeSeparators(m_file.fileName()), m_file.errorString()));
    return write(QByteArray("\xEF\xBB\xBF") + line(TransferColumns::names()));
}

Error CsvCitationWriter::add(const TransferRecord& record)
{
    return write(line(TransferColumns::cells(record)));
}

Error CsvCitationWriter::finish()
{
    if (m_file.commit())
        return {};
    return Error::of(Error::Kind::Io, QStringLiteral("Could not write %1: %2")
                                          .arg(QDir::toNativeSeparators(m_file.fileName()), m_file.errorString()));
}
