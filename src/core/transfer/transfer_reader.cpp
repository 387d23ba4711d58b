#include "core/transfer/transfer_reader.h"

#include "core/transfer/csl_json_reader.h"
#include "core/transfer/csv_citation_reader.h"
#include "core/transfer/transfer_format.h"
#include "core/transfer/xlsx_citation_reader.h"

Result<std::unique_ptr<TransferReader>> TransferReader::forFile(const QString& fileName)
{
    const std::optional<TransferFormat> format = transferFormatOf(fileName);
    if (!format)
        return Error::other(QStringLiteral("Citations are imported from .csv, .xlsx and .json (CSL-JSON) files; %1 "
                                           "is none of them.")
                                .arg(fileName));
    switch (*format) {
    case TransferFormat::Csv:
        return std::unique_ptr<TransferReader>(std::make_unique<CsvCitationReader>(fileName));
    case TransferFormat::Xlsx:
        return std::unique_ptr<TransferReader>(std::make_unique<XlsxCitationReader>(fileName));
    case TransferFormat::CslJson:
        break;
    }
    return std::unique_ptr<TransferReader>(std::make_unique<CslJsonReader>(fileName));
}
