#pragma once

#include "core/transfer/transfer_writer.h"

#include <QTemporaryFile>

#include <memory>

struct lxw_workbook;
struct lxw_worksheet;

// Citations as one sheet of an Office Open XML workbook, the column names in its first row. The library writes
// row by row (its constant-memory mode) to a scratch file beside the target, copied over the target at the end.
class XlsxCitationWriter : public TransferWriter
{
public:
    explicit XlsxCitationWriter(const QString& fileName);
    ~XlsxCitationWriter() override;

    Error begin() override;
    Error add(const TransferRecord& record) override;
    Error finish() override;

private:
    Error writeRow(const QStringList& cells);
    Error fail(const QString& problem) const;

    QString m_target;
    std::unique_ptr<QTemporaryFile> m_scratch;
    lxw_workbook* m_workbook = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    int m_row = 0;
};
