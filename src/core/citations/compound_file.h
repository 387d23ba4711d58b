#pragma once

#include "core/util/result.h"

#include <QByteArray>
#include <QString>

// The smallest stream size kept in regular 512-byte sectors; smaller streams would need a mini stream,
// which this writer does not produce.
inline constexpr qsizetype kMinRegularStreamSize = 4096;

// Wraps one stream, named streamName, in a version 3 compound file (512-byte sectors): the container an
// Excel 97-2003 workbook lives in. The stream must be at least kMinRegularStreamSize bytes; pad it first.
// An error of kind Other when the stream cannot be stored.
Result<QByteArray> compoundFile(const QString& streamName, const QByteArray& stream);
