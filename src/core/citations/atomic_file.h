#pragma once

#include <QByteArray>
#include <QString>

// Writes bytes to a temporary file beside path and renames it over path only once every byte is on disk,
// so a failed write leaves whatever was at path untouched. Returns false with a message in *error.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error);
