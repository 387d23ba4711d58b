#include "core/transfer/xlsx_citation_reader.h"

#include "core/transfer/transfer_columns.h"

#include "core/transfer/zip_entry_device.h"
#include <QDir>
#include <QRegularExpression>

#include <unzip.h>

#include <cmath>

namespace {
const QString kMainNs = QStringLiteral("http://schemas.openxmlformats.org/spreadsheetml/2006/main");

// A text as the format escapes what XML cannot hold: _x000D_ for a carriage return, _x005F_ for an underscore
// that would otherwise begin such an escape.
QString unescaped(const QString& text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    static const QRegularExpression escape(QStringLiteral("_x([0-9A-Fa-f]{4})_"));
    QString out;
    qsizetype from = 0;
    QRegularExpressionMatchIterator it = escape.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += text.mid(from, m.capturedStart() - from);
        out += QChar(char16_t(m.captured(1).toUShort(nullptr, 16)));
        from = m.capturedEnd();
    }
    return out + text.mid(from);
}

// The text of an <si> or <is> element: its <t> and the <t> of its runs, without the phonetic guides.
QString stringItem(QXmlStreamReader& xml)
{
    QString text;
    const QString end = xml.name().toString();
    int skipDepth = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == QLatin1String("rPh") || skipDepth)
                ++skipDepth;
            else if (xml.name() == QLatin1String("t"))
                text += unescaped(xml.readElementText());
        } else if (token == QXmlStreamReader::EndElement) {
            if (skipDepth)
                --skipDepth;
            else if (xml.name() == end)
                break;
        }
    }
    return text;
}
} // namespace

XlsxCitationReader::XlsxCitationReader(const QString& fileName)
    : m_fileName(fileName)
{}

XlsxCitationReader::~XlsxCitationReader()
{
    m_sheet.reset();
    if (m_zip)
        unzClose(m_zip);
}

Error XlsxCitationReader::fail(const QString& what) const
{
    return Error::other(QStringLiteral("%1 is not an Excel workbook that can be read: %2")
                            .arg(QDir::toNativeSeparators(m_fileName), what));
}

QDate XlsxCitationReader::dateOfSerial(double serial, bool from1904)
{
    // Day 60 of the 1900 system is a day that never was (29 February 1900); counting from 30 December 1899
    // gives every later day right.
    const QDate base = from1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    return base.addDays(qint64(std::floor(serial)));
}

int XlsxCitationReader::columnOfReference(const QString& reference)
{
    int column = 0;
    int letters = 0;
    for (QChar c : reference) {
        if (c < QLatin1Char('A') || c > QLatin1Char('Z'))
            break;
        column = column * 26 + (c.unicode() - 'A' + 1);
        ++letters;
    }
    return letters ? column - 1 : -1;
}

Result<QByteArray> XlsxCitationReader::readWhole(const QString& path)
{
    ZipEntryDevice file(m_zip, path);
    if (!file.openMember())
        return Error::of(Error::Kind::NotFound, path);
    return file.readAll();
}

Error XlsxCitationReader::readSharedStrings()
{
    ZipEntryDevice file(m_zip, QStringLiteral("xl/sharedStrings.xml"));
    if (!file.openMember())
        return {}; // a workbook of inline strings or numbers has none
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("si"))
            m_shared << stringItem(xml);
    }
    return xml.hasError() ? fail(xml.errorString()) : Error();
}

Error XlsxCitationReader::open()
{
    if (!QFile::exists(m_fileName))
        return Error::of(
            Error::Kind::NotFound,
            QStringLiteral("Could not read %1: there is no such file.").arg(QDir::toNativeSeparators(m_fileName)));
    m_zip = unzOpen64(QFile::encodeName(m_fileName).constData());
    if (!m_zip)
        return fail(QStringLiteral("it is not a zip archive."));

    // The first sheet is the first <sheet> of the workbook; its part is found through the relationships.
    Result<QByteArray> workbook = readWhole(QStringLiteral("xl/workbook.xml"));
    if (!workbook)
        return fail(QStringLiteral("it holds no workbook part."));
    QString relationId;
    {
        QXmlStreamReader xml(*workbook);
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("workbookPr")) {
                const QString v = xml.attributes().value(QStringLiteral("date1904")).toString();
                m_from1904 = v == QLatin1String("1") || v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
            } else if (xml.name() == QLatin1String("sheet") && relationId.isEmpty()) {
                for (const QXmlStreamAttribute& a : xml.attributes())
                    if (a.name() == QLatin1String("id"))
                        relationId = a.value().toString();
            }
        }
        if (xml.hasError())
            return fail(xml.errorString());
    }
    QString sheetPath = QStringLiteral("xl/worksheets/sheet1.xml");
    if (Result<QByteArray> rels = readWhole(QStringLiteral("xl/_rels/workbook.xml.rels")); rels) {
        QXmlStreamReader xml(*rels);
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("Relationship") &&
                xml.attributes().value(QStringLiteral("Id")) == relationId) {
                const QString target = xml.attributes().value(QStringLiteral("Target")).toString();
                sheetPath = target.startsWith(QLatin1Char('/')) ? target.mid(1) : QStringLiteral("xl/") + target;
            }
        }
    }
    if (Error e = readSharedStrings())
        return e;

    m_sheet = std::make_unique<ZipEntryDevice>(m_zip, sheetPath);
    if (!m_sheet->openMember())
        return fail(QStringLiteral("its first sheet %1 is missing.").arg(sheetPath));
    m_sheetSize = m_sheet->uncompressedSize();
    m_xml.setDevice(m_sheet.get());

    qint64 headerRow = 0;
    QList<SheetCell> header;
    Result<bool> got = nextRow(&headerRow, &header);
    if (!got)
        return got.error();
    if (!*got)
        return Error::other(QStringLiteral("The first sheet of %1 holds no first row naming the columns.")
                                .arg(QDir::toNativeSeparators(m_fileName)));
    QStringList names;
    for (const SheetCell& cell : header) {
        if (cell.text.trimmed().isEmpty())
            continue;
        m_headerColumns << cell.column;
        names << cell.text;
    }
    Result<QList<int>> columns = TransferColumns::match(names);
    if (!columns)
        return columns.error();
    m_columns = *columns;
    return {};
}

Result<bool> XlsxCitationReader::nextRow(qint64* rowNumber, QList<SheetCell>* cells)
{
    cells->clear();
    bool inRow = false;
    while (!m_xml.atEnd()) {
        const QXmlStreamReader::TokenType token = m_xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (m_xml.name() == QLatin1String("row")) {
                inRow = true;
                cells->clear();
                const QString r = m_xml.attributes().value(QStringLiteral("r")).toString();
                *rowNumber = r.isEmpty() ? m_lastRow + 1 : r.toLongLong();
                m_lastRow = *rowNumber;
            } else if (inRow && m_xml.name() == QLatin1String("c")) {
                SheetCell cell;
                const QString ref = m_xml.attributes().value(QStringLiteral("r")).toString();
                const int fromRef = columnOfReference(ref);
                cell.column = fromRef >= 0 ? fromRef : (cells->isEmpty() ? 0 : cells->last().column + 1);
                const QString type = m_xml.attributes().value(QStringLiteral("t")).toString();
                QString value;
                bool inlineText = false;
                while (!m_xml.atEnd()) {
                    const QXmlStreamReader::TokenType t = m_xml.readNext();
                    if (t == QXmlStreamReader::StartElement && m_xml.name() == QLatin1String("v")) {
                        value = m_xml.readElementText();
                    } else if (t == QXmlStreamReader::StartElement && m_xml.name() == QLatin1String("is")) {
                        value = stringItem(m_xml);
                        inlineText = true;
                    } else if (t == QXmlStreamReader::EndElement && m_xml.name() == QLatin1String("c")) {
                        break;
                    }
                }
                if (type == QLatin1String("s")) {
                    bool ok = false;
                    const int index = value.toInt(&ok);
                    if (!ok || index < 0 || index >= m_shared.size())
                        return fail(QStringLiteral("row %1 names a shared string that is not there.").arg(*rowNumber));
                    cell.text = m_shared.at(index);
                } else if (type == QLatin1String("b")) {
                    cell.text = value == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
                } else {
                    cell.text = value;
                    cell.numeric = !inlineText && (type.isEmpty() || type == QLatin1String("n"));
                }
                if (!cell.text.isEmpty())
                    cells->append(cell);
            }
        } else if (token == QXmlStreamReader::EndElement && m_xml.name() == QLatin1String("row")) {
            inRow = false;
            if (!cells->isEmpty())
                return true;
        }
    }
    if (m_xml.hasError())
        return fail(m_xml.errorString());
    return false;
}

Result<bool> XlsxCitationReader::next(TransferRecord* record)
{
    qint64 row = 0;
    QList<SheetCell> sheetCells;
    const Result<bool> got = nextRow(&row, &sheetCells);
    if (!got || !*got)
        return got;
    QStringList cells(m_columns.size());
    QString problem;
    for (const SheetCell& cell : sheetCells) {
        const qsizetype at = m_headerColumns.indexOf(cell.column);
        if (at < 0) {
            if (problem.isEmpty())
                problem = QStringLiteral("the row has a value in a column the first row does not name.");
            continue;
        }
        cells[at] = cell.text;
        if (m_columns.at(at) == TransferColumns::Date && cell.numeric) {
            bool ok = false;
            const double serial = cell.text.toDouble(&ok);
            if (ok)
                cells[at] = TransferColumns::dateText(dateOfSerial(serial, m_from1904));
        }
    }
    *record = TransferColumns::record(m_columns, cells, row);
    if (!problem.isEmpty())
        record->problem = problem;
    return true;
}

int XlsxCitationReader::percent() const
{
    if (!m_sheet || m_sheetSize <= 0)
        return 100;
    return int(qMin<qint64>(100, m_sheet->consumed() * 100 / m_sheetSize));
}
