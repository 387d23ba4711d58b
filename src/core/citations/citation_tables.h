#pragma once

#include "core/citations/citation.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

// One of the six long texts: the table that holds it and case_master's column that points at its row.
struct CitationTextTable {
    Citation::Text text = Citation::Judgment;
    QString table;     // cm_judgment_master
    QString column;    // judgment
    QString keyColumn; // judgment_id in case_master
    int maxLength = 0; // in characters
    QString caption;   // how messages name the field
};

// A table of a citation's own rows beside case_master: the links to a master list, or the bench.
struct CitationRowTable {
    QString table;        // cmd_category_master
    QString caseColumn;   // cmd_id: the citation the row belongs to
    QString masterColumn; // cat_id; empty for the bench
    QString master;       // category_master; empty for the bench
    QString nameColumn;   // category: the master's name; empty for the bench
    QString textColumn;   // section, bench_name: text kept on the row itself; empty when there is none
    int textLength = 0;   // in characters
    QString caption;      // how messages name one row of the master

    bool isLink() const { return !master.isEmpty(); }
};

// Where each part of a citation is stored, read from the schema's table definitions: case_master's own columns,
// the six long texts with their tables, and the tables of links and bench names. Whatever reads or writes whole
// citations takes its table and column names from here. A stored field is added here, in Citation and on the
// screen.
class CitationTables
{
public:
    static const QString& caseTable();    // case_master
    static const QString& caseKey();      // case_id
    static const QString& citation();     // citation
    static const QString& caseTitle();    // c_case
    static const QString& judgmentDate(); // dt_of_judgment
    // case_master's columns in their table order, for a statement that names them all.
    static QStringList caseColumns();
    static int citationLength();
    static int caseTitleLength();

    // In the order of Citation::Text.
    static const std::array<CitationTextTable, Citation::kTextCount>& texts();
    static const CitationTextTable& text(Citation::Text t) { return texts()[t]; }

    static const CitationRowTable& bench();
    static const CitationRowTable& categories();
    static const CitationRowTable& courts();
    static const CitationRowTable& acts();
    // Bench, categories, courts, Acts: the order in which a citation's rows are rewritten and deleted.
    static QList<CitationRowTable> rowTables();
};
