#pragma once

#include <QByteArray>
#include <QString>

// Files of the import's tests that spreadsheet programs and reference managers write (kept apart from the test
// classes, whose meta-object compiler does not read raw strings).

// A workbook made by hand as spreadsheet programs write one: shared strings (one in rich-text runs), an inline
// string, a date stored as a number with a style, cells out of order of the header and gaps between them. The
// text of each of its parts, by name.
QByteArray handMadeWorkbookPart(const QString& part);

// CSL-JSON as a reference manager exports it: a legal case, a book, a case without a date and one with a year
// only.
QByteArray cslSample();
