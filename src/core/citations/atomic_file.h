#pragma once

#include "core/util/error.h"

#include <QByteArray>
#include <QString>

// Writes bytes to a temporary file beside path and renames it over path only once every byte is on disk,
// so a failed write leaves whatever was at path untouched. An Io error names the file and what went wrong.
Error writeFileAtomically(const QString& path, const QByteArray& bytes);
