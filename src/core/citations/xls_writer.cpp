#include "core/citations/xls_writer.h"

#include "core/citations/atomic_file.h"
#include "core/citations/compound_file.h"

#include <QHash>
#include <QtEndian>

#include <algorithm>

namespace {

// Record types.
constexpr quint16 kBof = 0x0809;
constexpr quint16 kEof = 0x000A;
constexpr quint16 kInterfaceHdr = 0x00E1;
constexpr quint16 kMms = 0x00C1;
constexpr quint16 kInterfaceEnd = 0x00E2;
constexpr quint16 kCodePage = 0x0042;
constexpr quint16 kWindowProtect = 0x0019;
constexpr quint16 kProtect = 0x0012;
constexpr quint16 kPassword = 0x0013;
constexpr quint16 kBackup = 0x0040;
constexpr quint16 kHideObj = 0x008D;
constexpr quint16 kWindow1 = 0x003D;
constexpr quint16 kDateMode = 0x0022;
constexpr quint16 kPrecision = 0x000E;
constexpr quint16 kBookBool = 0x00DA;
constexpr quint16 kFont = 0x0031;
constexpr quint16 kXf = 0x00E0;
constexpr quint16 kStyle = 0x0293;
constexpr quint16 kBoundSheet = 0x0085;
constexpr quint16 kSst = 0x00FC;
constexpr quint16 kContinue = 0x003C;
constexpr quint16 kExtSst = 0x00FF;
constexpr quint16 kDimensions = 0x0200;
constexpr quint16 kLabelSst = 0x00FD;
constexpr quint16 kBlank = 0x0201;
constexpr quint16 kWindow2 = 0x023E;

// The most data one record may carry; longer data goes on in CONTINUE records.
constexpr int kMaxRecordData = 8224;

// Excel expects XFs 0-14 as style XFs and XF 15 as the default cell format; ours follow.
constexpr quint16 kNormalXf = 15;
constexpr quint16 kBoldXf = 16;
// Font index 4 does not exist in this format: the fifth FONT record is font 5.
constexpr quint16 kBoldFont = 5;

class Bytes
{
public:
    QByteArray data;
    Bytes& u8(quint8 v)
    {
        data.append(char(v));
        return *this;
    }
    Bytes& u16(quint16 v)
    {
        char b[2];
        qToLittleEndian(v, b);
        data.append(b, 2);
        return *this;
    }
    Bytes& u32(quint32 v)
    {
        char b[4];
        qToLittleEndian(v, b);
        data.append(b, 4);
        return *this;
    }
};

bool isLatin1(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
}

void appendChars(Bytes& out, const QString& text, qsizetype from, qsizetype count, bool wide)
{
    for (qsizetype i = from; i < from + count; ++i) {
        const quint16 c = text.at(i).unicode();
        if (wide)
            out.u16(c);
        else
            out.u8(quint8(c));
    }
}

// A string with an 8-bit length, as sheet and font names are stored.
void shortString(Bytes& out, const QString& text)
{
    const bool wide = !isLatin1(text);
    out.u8(quint8(text.size())).u8(wide ? 1 : 0);
    appendChars(out, text, 0, text.size(), wide);
}

void record(QByteArray& stream, quint16 type, const QByteArray& data)
{
    Q_ASSERT(data.size() <= kMaxRecordData);
    Bytes header;
    header.u16(type).u16(quint16(data.size()));
    stream += header.data;
    stream += data;
}

void record(QByteArray& stream, quint16 type, const Bytes& data)
{
    record(stream, type, data.data);
}

void bof(QByteArray& stream, quint16 substreamType)
{
    Bytes b;
    b.u16(0x0600).u16(substreamType).u16(0x0DBB).u16(0x07CC).u32(0).u32(6);
    record(stream, kBof, b);
}

void font(QByteArray& stream, bool bold)
{
    Bytes b;
    b.u16(200);          // 10 points, in twips
    b.u16(bold ? 1 : 0); // the old bold bit, which some readers still consult
    b.u16(0x7FFF);       // automatic colour
    b.u16(bold ? 700 : 400);
    b.u16(0).u8(0).u8(2).u8(0).u8(0); // no super/subscript, no underline, swiss family, ANSI charset
    shortString(b, QStringLiteral("Arial"));
    record(stream, kFont, b);
}

void xf(QByteArray& stream, quint16 fontIndex, bool isStyle, quint8 usedAttributes)
{
    Bytes b;
    b.u16(fontIndex).u16(0); // General number format
    // Locked; a style XF has no parent (0xFFF), a cell XF has the Normal style XF 0.
    b.u16(isStyle ? 0xFFF5 : 0x0001);
    b.u8(0x20).u8(0).u8(0); // general, bottom-aligned, no rotation or indent
    b.u8(usedAttributes);
    b.u32(0).u32(0); // no borders, no pattern
    b.u16(0x20C0);   // system window colours for pattern foreground and background
    record(stream, kXf, b);
}

// The shared-string table, split into CONTINUE records at the record limit. A string's header is never
// split; a string's characters may be, and the continuation then opens with the string's grbit byte again.
// A surrogate pair is kept in one record so each piece stays valid UTF-16 on its own.
void sst(QByteArray& stream, const QStringList& strings, quint32 references)
{
    const qsizetype perBucket = std::max<qsizetype>(8, strings.size() / 128 + 1);
    Bytes ext;
    ext.u16(quint16(perBucket));

    Bytes rec;
    quint16 type = kSst;
    rec.u32(references).u32(quint32(strings.size()));
    auto flush = [&] {
        record(stream, type, rec);
        rec.data.clear();
        type = kContinue;
    };
    auto room = [&] {
        return kMaxRecordData - rec.data.size();
    };

    for (qsizetype i = 0; i < strings.size(); ++i) {
        const QString& s = strings.at(i);
        const bool wide = !isLatin1(s);
        const int charSize = wide ? 2 : 1;
        if (room() < 3 + (s.isEmpty() ? 0 : charSize))
            flush();
        if (i % perBucket == 0) {
            // Where the bucket's first string starts: in the stream, and from its record's header.
            const qsizetype inRecord = 4 + rec.data.size();
            ext.u32(quint32(stream.size() + inRecord)).u16(quint16(inRecord)).u16(0);
        }
        rec.u16(quint16(s.size())).u8(wide ? 1 : 0);
        qsizetype done = 0;
        while (done < s.size()) {
            qsizetype count = std::min<qsizetype>(room() / charSize, s.size() - done);
            if (count > 0 && done + count < s.size() && s.at(done + count - 1).isHighSurrogate())
                --count;
            if (count == 0) {
                flush();
                rec.u8(wide ? 1 : 0);
                continue;
            }
            appendChars(rec, s, done, count, wide);
            done += count;
        }
    }
    flush();
    record(stream, kExtSst, ext);
}

} // namespace

Result<QByteArray> XlsWriter::encode(const Sheet& sheet)
{
    if (Error error = checkSheet(sheet, limits()))
        return error;

    QList<SheetCell> cells = sheet.cells;
    std::sort(cells.begin(), cells.end(), [](const SheetCell& a, const SheetCell& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    // Each distinct text is stored once and cells refer to it by index.
    QStringList strings;
    QHash<QString, quint32> indexOf;
    quint32 references = 0;
    for (const SheetCell& cell : cells) {
        if (cell.text.isEmpty())
            continue;
        ++references;
        if (!indexOf.contains(cell.text)) {
            indexOf.insert(cell.text, quint32(strings.size()));
            strings.append(cell.text);
        }
    }

    // Workbook globals.
    QByteArray stream;
    bof(stream, 0x0005);
    record(stream, kInterfaceHdr, Bytes().u16(1200));
    record(stream, kMms, Bytes().u16(0));
    record(stream, kInterfaceEnd, QByteArray());
    record(stream, kCodePage, Bytes().u16(1200)); // UTF-16
    record(stream, kWindowProtect, Bytes().u16(0));
    record(stream, kProtect, Bytes().u16(0));
    record(stream, kPassword, Bytes().u16(0));
    record(stream, kBackup, Bytes().u16(0));
    record(stream, kHideObj, Bytes().u16(0));
    // Window position and size, scroll bars and tabs shown, first sheet active and selected.
    record(stream, kWindow1, Bytes().u16(0).u16(0).u16(0x3A5C).u16(0x23BE).u16(0x0038).u16(0).u16(0).u16(1).u16(600));
    record(stream, kDateMode, Bytes().u16(0));
    record(stream, kPrecision, Bytes().u16(1));
    record(stream, kBookBool, Bytes().u16(0));
    for (int i = 0; i < 4; ++i)
        font(stream, false);
    font(stream, true); // font 5
    xf(stream, 0, true, 0);
    for (int i = 1; i < 15; ++i)
        xf(stream, i <= 2 ? 1 : i <= 4 ? 2 : 0, true, 0xF4);
    xf(stream, 0, false, 0);
    xf(stream, kBoldFont, false, 0x08);                         // the font differs from the parent style
    record(stream, kStyle, Bytes().u16(0x8000).u8(0).u8(0xFF)); // XF 0 is the built-in Normal style

    Bytes boundSheet;
    boundSheet.u32(0).u8(0).u8(0); // stream offset set below; visible worksheet
    shortString(boundSheet, sheet.name);
    const qsizetype sheetOffsetAt = stream.size() + 4;
    record(stream, kBoundSheet, boundSheet);
    sst(stream, strings, references);
    record(stream, kEof, QByteArray());

    // The worksheet.
    qToLittleEndian(quint32(stream.size()), stream.data() + sheetOffsetAt);
    bof(stream, 0x0010);
    Bytes dims;
    if (cells.isEmpty()) {
        dims.u32(0).u32(0).u16(0).u16(0).u16(0);
    } else {
        int lastColumn = 0;
        int firstColumn = limits().columns;
        for (const SheetCell& cell : cells) {
            firstColumn = std::min(firstColumn, cell.column);
            lastColumn = std::max(lastColumn, cell.column);
        }
        dims.u32(quint32(cells.first().row)).u32(quint32(cells.last().row + 1));
        dims.u16(quint16(firstColumn)).u16(quint16(lastColumn + 1)).u16(0);
    }
    record(stream, kDimensions, dims);
    for (const SheetCell& cell : cells) {
        Bytes c;
        c.u16(quint16(cell.row)).u16(quint16(cell.column)).u16(cell.bold ? kBoldXf : kNormalXf);
        if (cell.text.isEmpty()) {
            record(stream, kBlank, c); // keeps the cell's format without a string
        } else {
            c.u32(indexOf.value(cell.text));
            record(stream, kLabelSst, c);
        }
    }
    // Grid, headers and zeros shown; the sheet selected and shown.
    record(stream, kWindow2, Bytes().u16(0x06B6).u16(0).u16(0).u32(64).u16(0).u16(0).u32(0));
    record(stream, kEof, QByteArray());

    // Readers stop at the last EOF record, so zeros after it only lift the stream into regular sectors.
    if (stream.size() < kMinRegularStreamSize)
        stream.append(QByteArray(kMinRegularStreamSize - stream.size(), '\0'));
    return compoundFile(QStringLiteral("Workbook"), stream);
}

Error XlsWriter::write(const QString& path, const Sheet& sheet)
{
    const Result<QByteArray> bytes = encode(sheet);
    if (!bytes)
        return bytes.error();
    return writeFileAtomically(path, *bytes);
}
