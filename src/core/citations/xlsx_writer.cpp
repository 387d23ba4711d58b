#include "core/citations/xlsx_writer.h"

#include "core/citations/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <xlsxwriter.h>

namespace {

// Anything that stops the file being written is the file's fault, not the sheet's.
Error fail(const QString& message)
{
    return Error::of(Error::Kind::Io, message);
}

QString libraryError(lxw_error code)
{
    return QString::fromUtf8(lxw_strerror(code));
}

} // namespace

Error XlsxWriter::write(const QString& path, const Sheet& sheet)
{
    if (Error error = checkSheet(sheet, limits()))
        return error;
    for (const SheetCell& cell : sheet.cells) {
        // The library takes C strings: a NUL would silently cut the text short.
        if (cell.text.contains(QChar(0)))
            return Error::other(QStringLiteral("The text at row %1, column %2 contains a NUL character.")
                                    .arg(cell.row + 1)
                                    .arg(cell.column + 1));
    }

    const QString target = QFileInfo(path).absoluteFilePath();
    // The library writes the whole file itself, so let it write to a scratch name beside the target.
    QTemporaryFile scratch(target + QStringLiteral(".XXXXXX"));
    if (!scratch.open())
        return fail(
            QStringLiteral("Could not write %1: %2").arg(QDir::toNativeSeparators(target), scratch.errorString()));
    scratch.close();
    const QByteArray scratchName = QFile::encodeName(scratch.fileName());

    lxw_workbook* workbook = workbook_new(scratchName.constData());
    if (!workbook)
        return fail(QStringLiteral("Could not start the workbook %1.").arg(QDir::toNativeSeparators(target)));
    QString problem;
    const QByteArray sheetName = sheet.name.toUtf8();
    lxw_worksheet* worksheet = workbook_add_worksheet(workbook, sheetName.constData());
    lxw_format* bold = workbook_add_format(workbook);
    if (!worksheet || !bold) {
        problem = QStringLiteral("the sheet \"%1\" could not be added").arg(sheet.name);
    } else {
        format_set_bold(bold);
        for (const SheetCell& cell : sheet.cells) {
            if (cell.text.isEmpty() && !cell.bold)
                continue;
            const QByteArray text = cell.text.toUtf8();
            const lxw_error result = worksheet_write_string(worksheet, lxw_row_t(cell.row), lxw_col_t(cell.column),
                                                            text.constData(), cell.bold ? bold : nullptr);
            if (result != LXW_NO_ERROR) {
                problem = QStringLiteral("row %1, column %2: %3")
                              .arg(cell.row + 1)
                              .arg(cell.column + 1)
                              .arg(libraryError(result));
                break;
            }
        }
    }
    // Closing writes the file and frees the workbook, whether or not a cell failed.
    const lxw_error closed = workbook_close(workbook);
    if (problem.isEmpty() && closed != LXW_NO_ERROR)
        problem = libraryError(closed);
    if (!problem.isEmpty())
        return fail(QStringLiteral("Could not write %1: %2").arg(QDir::toNativeSeparators(target), problem));

    // Hand the finished bytes to the same atomic replace the other formats use, so an existing file keeps its
    // permissions and is only replaced by a complete one.
    QFile written(scratch.fileName());
    if (!written.open(QIODevice::ReadOnly))
        return fail(
            QStringLiteral("Could not write %1: %2").arg(QDir::toNativeSeparators(target), written.errorString()));
    const QByteArray bytes = written.readAll();
    written.close();
    if (bytes.isEmpty())
        return fail(
            QStringLiteral("Could not write %1: the workbook came out empty.").arg(QDir::toNativeSeparators(target)));
    return writeFileAtomically(target, bytes);
}
