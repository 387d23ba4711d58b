#include "core/transfer/transfer_writer.h"

#include "core/transfer/csl_json_writer.h"
#include "core/transfer/csv_citation_writer.h"
#include "core/transfer/transfer_format.h"
#include "core/transfer/xlsx_citation_writer.h"

Result<std::unique_ptr<TransferWriter>> TransferWriter::forFile(const QString& fileName)
{
    const std::optional<TransferFormat> format = transferFormatOf(fileName);
    if (!format)
        return Error::other(QStringLiteral("Citations are exported to .csv, .xlsx and .json (CSL-JSON) files; %1 "
                                           "is none of them.")
                                .arg(fileName));
    switch (*format) {
    case TransferFormat::Csv:
        return std::unique_ptr<TransferWriter>(std::make_unique<CsvCitationWriter>(fileName));
    case TransferFormat::Xlsx:
        return std::unique_ptr<TransferWriter>(std::make_unique<XlsxCitationWriter>(fileName));
    case TransferFormat::CslJson:
        break;
    }
    return std::unique_ptr<TransferWriter>(std::make_unique<CslJsonWriter>(fileName));
}
