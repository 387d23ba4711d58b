#pragma once

#include "core/transfer/transfer_record.h"
#include "core/util/result.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

// The columns of a CSV file or a workbook sheet of citations, and how one row's cells are read and written.
class TransferColumns
{
public:
    enum Column {
        CitationText,
        Case,
        Date,
        Judgment,
        NatureOfCase,
        FactSummary,
        Issue,
        RuleOfLaw,
        Remarks,
        Categories,
        Courts,
        Acts,
        Bench,
    };
    static constexpr int kCount = 13;
    // What match gives for a first-row cell left empty.
    static constexpr int kUnnamed = -1;

    // citation, case, date, ...: the names of the first row, in the order the export writes them.
    static const QStringList& names();

    // For each cell of a first row, its column (kUnnamed for an empty one); an Error for a name that is no column,
    // a column named twice or no citation column.
    static Result<QList<int>> match(const QStringList& header);

    // One row's cells as a record; `columns` is what match gave. A date the record cannot take leaves its
    // problem in the record.
    static TransferRecord record(const QList<int>& columns, const QStringList& cells, qint64 place);
    // The cells the export writes for a record, in the order of names().
    static QStringList cells(const TransferRecord& record);

    // yyyy-mm-dd or yyyy-mm (a day of 1 then); blanks around are ignored. An invalid date when it is neither.
    static QDate parseDate(const QString& text, bool* ok);
    static QString dateText(const QDate& date);
    // A list cell: items separated by ';', blanks around each dropped, empty items left out.
    static QStringList splitList(const QString& cell);
    static const QChar kListSeparator;
    static const QChar kSectionSeparator;
};
