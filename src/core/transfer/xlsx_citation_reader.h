#pragma once

#include "core/transfer/transfer_reader.h"

#include <QStringList>
#include <QXmlStreamReader>

#include <memory>

class ZipEntryDevice;

// The citations of the first sheet of an Office Open XML workbook: its first row names the columns. The sheet is
// read as a stream from the zip; only the workbook's table of shared strings is held.
class XlsxCitationReader : public TransferReader
{
public:
    explicit XlsxCitationReader(const QString& fileName);
    ~XlsxCitationReader() override;

    Error open() override;
    Result<bool> next(TransferRecord* record) override;
    int percent() const override;
    QString placeName() const override { return QStringLiteral("Row"); }

    // The day a number in a date cell counts from; 1904 workbooks count from the first of January 1904.
    static QDate dateOfSerial(double serial, bool from1904);
    // 0 for "A", 25 for "Z", 26 for "AA"; the letters of a cell reference such as "AB12". -1 without letters.
    static int columnOfReference(const QString& reference);

private:
    struct SheetCell {
        int column = 0;
        QString text;
        bool numeric = false;
    };
    // The cells of the next row that holds any; false at the end of the sheet.
    Result<bool> nextRow(qint64* rowNumber, QList<SheetCell>* cells);
    Result<QByteArray> readWhole(const QString& path);
    Error readSharedStrings();
    Error fail(const QString& what) const;

    QString m_fileName;
    void* m_zip = nullptr; // minizip's unzFile
    std::unique_ptr<ZipEntryDevice> m_sheet;
    QXmlStreamReader m_xml;
    QStringList m_shared;
    bool m_from1904 = false;
    qint64 m_sheetSize = 0;
    qint64 m_lastRow = 0;
    QList<int> m_headerColumns; // the sheet column of each named column
    QList<int> m_columns;       // what each is
};
