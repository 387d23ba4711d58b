#pragma once

#include "core/transfer/transfer_writer.h"

#include <QSaveFile>

// Citations as CSV: UTF-8 with a byte-order mark (so that spreadsheets take it as UTF-8), the column names first,
// lines ended by CR LF, a field quoted when it holds a comma, a quote, a line break or blanks at either end.
class CsvCitationWriter : public TransferWriter
{
public:
    explicit CsvCitationWriter(const QString& fileName);

    Error begin() override;
    Error add(const TransferRecord& record) override;
    Error finish() override;

    // One record's line, ended by CR LF.
    static QByteArray line(const QStringList& fields);

private:
    Error write(const QByteArray& bytes);

    QSaveFile m_file;
};
