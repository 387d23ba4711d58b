#pragma once

#include "core/transfer/csv_record_reader.h"
#include "core/transfer/transfer_reader.h"

#include <QFile>

#include <memory>

// The citations of a CSV file: the first record names the columns, each later one is a citation.
class CsvCitationReader : public TransferReader
{
public:
    explicit CsvCitationReader(const QString& fileName);

    Error open() override;
    Result<bool> next(TransferRecord* record) override;
    int percent() const override;
    QString placeName() const override { return QStringLiteral("Line"); }

private:
    QFile m_file;
    std::unique_ptr<CsvRecordReader> m_reader;
    QList<int> m_columns;
};
