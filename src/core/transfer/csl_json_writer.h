#pragma once

#include "core/transfer/transfer_writer.h"

#include <QSaveFile>

// Citations as CSL-JSON: one array, an item of type legal_case for each.
class CslJsonWriter : public TransferWriter
{
public:
    explicit CslJsonWriter(const QString& fileName);

    Error begin() override;
    Error add(const TransferRecord& record) override;
    Error finish() override;

private:
    Error write(const QByteArray& bytes);

    QSaveFile m_file;
    qint64 m_items = 0;
};
