#include "core/transfer/transfer_format.h"

std::optional<TransferFormat> transferFormatOf(const QString& fileName)
{
    if (fileName.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return TransferFormat::Csv;
    if (fileName.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
        return TransferFormat::Xlsx;
    if (fileName.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
        return TransferFormat::CslJson;
    return std::nullopt;
}
