#include "core/transfer/xlsx_citation_writer.h"

#include "core/citations/sheet.h"
#include "core/transfer/transfer_columns.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <xlsxwriter.h>

XlsxCitationWriter::XlsxCitationWriter(const QString& fileName)
    : m_target(QFileInfo(fileName).absoluteFilePath())
{}

XlsxCitationWriter::~XlsxCitationWriter()
{
    // A workbook not finished is closed unwritten into the scratch file, which goes with it.
    if (m_workbook)
        workbook_close(m_workbook);
}

Error XlsxCitationWriter::fail(const QString& problem) const
{
    return Error::of(Error::Kind::Io,
                     QStringLiteral("Could not write %1: %2").arg(QDir::toNativeSeparators(m_target), problem));
}

Error XlsxCitationWriter::begin()
{
    m_scratch = std::make_unique<QTemporaryFile>(m_target + QStringLiteral(".XXXXXX"));
    if (!m_scratch->open())
        return fail(m_scratch->errorString());
    m_scratch->close();
    const QByteArray scratchName = QFile::encodeName(m_scratch->fileName());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    m_workbook = workbook_new_opt(scratchName.constData(), &options);
    if (!m_workbook)
        return fail(QStringLiteral("the workbook could not be started."));
    m_sheet = workbook_add_worksheet(m_workbook, "Citations");
    if (!m_sheet)
        return fail(QStringLiteral("the sheet could not be added."));
    return writeRow(TransferColumns::names());
}

Error XlsxCitationWriter::writeRow(const QStringList& cells)
{
    for (int column = 0; column < cells.size(); ++column) {
        const QString& text = cells.at(column);
        if (text.isEmpty())
            continue;
        if (text.size() > kMaxCellTextLength)
            return fail(QStringLiteral("the text at row %1, column %2 is longer than a cell holds (%3 characters).")
                            .arg(m_row + 1)
                            .arg(column + 1)
                            .arg(kMaxCellTextLength));
        // The library takes C strings: a NUL would cut the text short.
        if (text.contains(QChar(0)))
            return fail(QStringLiteral("the text at row %1, column %2 contains a NUL character.")
                            .arg(m_row + 1)
                            .arg(column + 1));
        // The format writes what XML cannot hold as _xHHHH_; a text that holds such a sequence itself has its
        // underscore written so (_x005F_), or a reader would take it for the character.
        static const QRegularExpression escapeLike(QStringLiteral("_(x[0-9A-Fa-f]{4}_)"));
        const QByteArray bytes = QString(text).replace(escapeLike, QStringLiteral("_x005F_\\1")).toUtf8();
        const lxw_error result =
            worksheet_write_string(m_sheet, lxw_row_t(m_row), lxw_col_t(column), bytes.constData(), nullptr);
        if (result != LXW_NO_ERROR)
            return fail(QString::fromUtf8(lxw_strerror(result)));
    }
    ++m_row;
    return {};
}

Error XlsxCitationWriter::add(const TransferRecord& record)
{
    return writeRow(TransferColumns::cells(record));
}

Error XlsxCitationWriter::finish()
{
    const lxw_error closed = workbook_close(m_workbook);
    m_workbook = nullptr;
    if (closed != LXW_NO_ERROR)
        return fail(QString::fromUtf8(lxw_strerror(closed)));
    // Copied a block at a time into the atomic replace, so the file is never held whole.
    QFile written(m_scratch->fileName());
    if (!written.open(QIODevice::ReadOnly))
        return fail(written.errorString());
    QSaveFile target(m_target);
    target.setDirectWriteFallback(false);
    if (!target.open(QIODevice::WriteOnly))
        return fail(target.errorString());
    while (!written.atEnd()) {
        const QByteArray block = written.read(1 << 20);
        if (block.isEmpty() || target.write(block) != block.size()) {
            target.cancelWriting();
            return fail(target.errorString());
        }
    }
    if (!target.commit())
        return fail(target.errorString());
    return {};
}
