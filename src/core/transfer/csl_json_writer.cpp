#include "core/transfer/csl_json_writer.h"

#include "core/transfer/csl_json_mapping.h"

#include <QDir>
#include <QJsonDocument>

CslJsonWriter::CslJsonWriter(const QString& fileName)
    : m_file(fileName)
{
    m_file.setDirectWriteFallback(false);
}

Error CslJsonWriter::write(const QByteArray& bytes)
{
    if (m_file.write(bytes) == bytes.size())
        return {};
    return Error::of(Error::Kind::Io, QStringLiteral("Could not write %1: %2")
                                          .arg(QDir::toNativeSeparators(m_file.fileName()), m_file.errorString()));
}

Error CslJsonWriter::begin()
{
    if (!m_file.open(QIODevice::WriteOnly))
        return Error::of(Error::Kind::Io, QStringLiteral("Could not write %1: %2")
                                              .arg(QDir::toNativeSeparators(m_file.fileName()), m_file.errorString()));
    return write("[");
}

Error CslJsonWriter::add(const TransferRecord& record)
{
    ++m_items;
    QByteArray item = QJsonDocument(CslJsonMapping::item(record, m_items)).toJson(QJsonDocument::Compact);
    return write((m_items > 1 ? ",\n" : "\n") + item);
}

Error CslJsonWriter::finish()
{
    if (Error e = write("\n]\n"))
        return e;
    if (m_file.commit())
        return {};
    return Error::of(Error::Kind::Io, QStringLiteral("Could not write %1: %2")
                                          .arg(QDir::toNativeSeparators(m_file.fileName()), m_file.errorString()));
}
