#pragma once

#include <QString>

#include <optional>

// The file formats citations are brought in from and taken out to.
enum class TransferFormat { Csv, Xlsx, CslJson };

// By the file's ending (.csv, .xlsx, .json), case-insensitive; nothing for any other.
std::optional<TransferFormat> transferFormatOf(const QString& fileName);
