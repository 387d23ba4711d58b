#include "core/citations/citation_tables.h"

#include "core/db/schema.h"

namespace {
ColumnDef columnOf(const TableDef& t, const QString& name)
{
    for (const ColumnDef& c : t.columns)
        if (c.name == name)
            return c;
    return {};
}

// The one text column of a long-text or master table, beside its key.
ColumnDef textColumnOf(const QString& table)
{
    for (const ColumnDef& c : Schema::table(table).columns)
        if (c.maxLength > 0)
            return c;
    return {};
}

CitationTextTable textTable(Citation::Text text, const QString& keyColumn, const QString& caption)
{
    CitationTextTable t{text, QString(), QString(), keyColumn, 0, caption};
    for (const ForeignKeyDef& k : Schema::foreignKeysOf(CitationTables::caseTable()))
        if (k.column == keyColumn)
            t.table = k.refTable;
    const ColumnDef column = textColumnOf(t.table);
    t.column = column.name;
    t.maxLength = column.maxLength;
    return t;
}

CitationRowTable rowTable(const QString& table, const QString& caption)
{
    CitationRowTable t;
    t.table = table;
    t.caption = caption;
    for (const ForeignKeyDef& k : Schema::foreignKeysOf(table)) {
        if (k.refTable == CitationTables::caseTable()) {
            t.caseColumn = k.column;
        } else {
            t.masterColumn = k.column;
            t.master = k.refTable;
            t.nameColumn = textColumnOf(k.refTable).name;
        }
    }
    const ColumnDef text = textColumnOf(table);
    t.textColumn = text.name;
    t.textLength = text.maxLength;
    return t;
}
} // namespace

const QString& CitationTables::caseTable()
{
    static const QString name = Schema::caseTable().name;
    return name;
}

const QString& CitationTables::caseKey()
{
    static const QString name = Schema::caseTable().columns.first().name;
    return name;
}

const QString& CitationTables::citation()
{
    static const QString name = QStringLiteral("citation");
    return name;
}

const QString& CitationTables::caseTitle()
{
    static const QString name = QStringLiteral("c_case");
    return name;
}

const QString& CitationTables::judgmentDate()
{
    static const QString name = QStringLiteral("dt_of_judgment");
    return name;
}

QStringList CitationTables::caseColumns()
{
    QStringList names;
    for (const ColumnDef& c : Schema::caseTable().columns)
        names << c.name;
    return names;
}

int CitationTables::citationLength()
{
    return columnOf(Schema::caseTable(), citation()).maxLength;
}

int CitationTables::caseTitleLength()
{
    return columnOf(Schema::caseTable(), caseTitle()).maxLength;
}

const std::array<CitationTextTable, Citation::kTextCount>& CitationTables::texts()
{
    static const std::array<CitationTextTable, Citation::kTextCount> tables{{
        textTable(Citation::Judgment, QStringLiteral("judgment_id"), QStringLiteral("Judgment")),
        textTable(Citation::NatureOfCase, QStringLiteral("nature_case_id"), QStringLiteral("Nature of case")),
        textTable(Citation::FactSummary, QStringLiteral("fact_summary_id"), QStringLiteral("Fact summary")),
        textTable(Citation::Issue, QStringLiteral("issue_id"), QStringLiteral("Issue")),
        textTable(Citation::RuleOfLaw, QStringLiteral("rule_of_law_id"), QStringLiteral("Rule of law")),
        textTable(Citation::Remarks, QStringLiteral("remarks_id"), QStringLiteral("Remarks")),
    }};
    return tables;
}

const CitationRowTable& CitationTables::bench()
{
    static const CitationRowTable t = rowTable(QStringLiteral("cm_bench_name"), QStringLiteral("bench name"));
    return t;
}

const CitationRowTable& CitationTables::categories()
{
    static const CitationRowTable t = rowTable(QStringLiteral("cmd_category_master"), QStringLiteral("category"));
    return t;
}

const CitationRowTable& CitationTables::courts()
{
    static const CitationRowTable t = rowTable(QStringLiteral("cmd_court_master"), QStringLiteral("court"));
    return t;
}

const CitationRowTable& CitationTables::acts()
{
    static const CitationRowTable t = rowTable(QStringLiteral("cmd_act_master"), QStringLiteral("Act"));
    return t;
}

QList<CitationRowTable> CitationTables::rowTables()
{
    return {bench(), categories(), courts(), acts()};
}
