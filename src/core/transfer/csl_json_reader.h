#pragma once

#include "core/transfer/transfer_reader.h"

#include <QFile>

// The items of a CSL-JSON file (an array of objects), cut out of the stream one at a time and each parsed on its
// own, so that a file of any length is never held whole.
class CslJsonReader : public TransferReader
{
public:
    explicit CslJsonReader(const QString& fileName);

    Error open() override;
    Result<bool> next(TransferRecord* record) override;
    int percent() const override;
    QString placeName() const override { return QStringLiteral("Item"); }

    // The bytes of the next item of the array; false after the array's end. An Error when the text is not an
    // array of JSON values.
    Result<bool> nextItem(QByteArray* item);

private:
    int get();
    int peek();
    int skipBlanks();

    QFile m_file;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qint64 m_consumed = 0;
    qint64 m_items = 0;
    bool m_single = false; // the file is one object, not an array
    bool m_done = false;
};
