#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QIODevice;

// Reads the records of a CSV text (RFC 4180) from a device a block at a time: fields separated by commas, quoted
// fields holding commas, doubled quotes and line breaks, records ended by CR LF, LF or CR. A byte-order mark at
// the start is passed over. Each record knows the line it began on, so that a refusal can name it.
class CsvRecordReader
{
public:
    struct Record {
        qint64 line = 0;
        QList<QByteArray> fields;   // the bytes of each field, quotes taken off
        bool unclosedQuote = false; // the input ended inside a quoted field
        // A line with nothing on it, which holds no record.
        bool quoted = false; // a field of it was quoted
        bool isBlank() const { return fields.size() == 1 && fields.first().isEmpty() && !quoted; }
    };

    explicit CsvRecordReader(QIODevice& device);

    // The next record; false at the end of the input.
    bool next(Record* record);
    // How far the reader has come into the device.
    qint64 bytesRead() const { return m_consumed; }

    // Each field as text: UTF-8; false when one is not.
    static bool decode(const QList<QByteArray>& fields, QStringList* texts);

private:
    // The next byte, or -1 at the end.
    int get();
    int peek();
    bool fill();

    QIODevice& m_device;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qint64 m_consumed = 0;
    qint64 m_line = 1;
    bool m_started = false;
    bool m_ended = false;
};
