#include "core/db/schema.h"

#include "core/db/db_connection.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {
ColumnDef key(const QString& name = QStringLiteral("id"))
{
    return {name, QStringLiteral("INTEGER"), QString(), true, 0};
}

ColumnDef integer(const QString& name, const QString& nullability)
{
    return {name, QStringLiteral("INTEGER"), nullability, false, 0};
}

ColumnDef varchar(const QString& name, int length, const QString& nullability = QStringLiteral("NULL"))
{
    return {name, QStringLiteral("VARCHAR(%1)").arg(length), nullability, false, length};
}

const QString kNull = QStringLiteral("NULL");
const QString kNotNull = QStringLiteral("NOT NULL");

ForeignKeyDef fk(const QString& table, const QString& column, const QString& refTable, const QString& refColumn)
{
    const QChar sz(0x00DF);
    const QString name = table + sz + column + sz + sz + refTable + sz + refColumn;
    return {table, name, column, refTable, refColumn};
}

DbError createTables(const DbContext& ctx, const QList<TableDef>& tables)
{
    DbConnection conn(ctx);
    if (!conn.isOpen())
        return conn.error();
    for (const TableDef& t : tables) {
        QSqlQuery q(conn.db());
        if (!q.exec(conn.dialect().createTableStatement(t, Schema::foreignKeysOf(t.name))))
            return DbError::fromSql(q.lastError());
    }
    return {};
}
} // namespace

QList<TableDef> Schema::masterTables()
{
    return {
        {QStringLiteral("act_master"), {key(), varchar(QStringLiteral("act"), 255)}},
        {QStringLiteral("category_master"), {key(), varchar(QStringLiteral("category"), 255)}},
        {QStringLiteral("cm_issue_master"), {key(), varchar(QStringLiteral("issue"), 7900)}},
        {QStringLiteral("cm_judgment_master"), {key(), varchar(QStringLiteral("judgment"), 7900)}},
        {QStringLiteral("cm_nature_of_case_master"), {key(), varchar(QStringLiteral("nature_of_case"), 7900)}},
        {QStringLiteral("cm_fact_summary_master"), {key(), varchar(QStringLiteral("fact_summary"), 7900)}},
        {QStringLiteral("cm_remarks_master"), {key(), varchar(QStringLiteral("remarks"), 7900)}},
        {QStringLiteral("cm_rule_of_law_master"), {key(), varchar(QStringLiteral("rule_of_law"), 7900)}},
        {QStringLiteral("court_master"), {key(), varchar(QStringLiteral("court_name"), 100)}},
    };
}

TableDef Schema::caseTable()
{
    return {QStringLiteral("case_master"),
            {key(QStringLiteral("case_id")),
             varchar(QStringLiteral("citation"), 50, QString()),
             integer(QStringLiteral("judgment_id"), kNull),
             varchar(QStringLiteral("c_case"), 50),
             integer(QStringLiteral("nature_case_id"), kNull),
             integer(QStringLiteral("fact_summary_id"), kNull),
             integer(QStringLiteral("issue_id"), kNull),
             integer(QStringLiteral("rule_of_law_id"), kNull),
             integer(QStringLiteral("remarks_id"), kNull),
             {QStringLiteral("dt_of_judgment"), QStringLiteral("DATETIME"), QString(), false, 0}}};
}

QList<TableDef> Schema::linkTables()
{
    return {
        {QStringLiteral("cm_bench_name"),
         {key(), varchar(QStringLiteral("bench_name"), 200), integer(QStringLiteral("case_id"), kNotNull)}},
        {QStringLiteral("cmd_act_master"),
         {key(), integer(QStringLiteral("act_id"), kNotNull), integer(QStringLiteral("cmd_id"), kNotNull),
          varchar(QStringLiteral("section"), 200)}},
        {QStringLiteral("cmd_category_master"),
         {key(), integer(QStringLiteral("cat_id"), kNotNull), integer(QStringLiteral("cmd_id"), kNotNull)}},
        {QStringLiteral("cmd_court_master"),
         {key(), integer(QStringLiteral("court_id"), kNotNull), integer(QStringLiteral("cmd_id"), kNotNull)}},
    };
}

QList<ForeignKeyDef> Schema::foreignKeys()
{
    const QString cm = QStringLiteral("case_master");
    const QString id = QStringLiteral("id");
    const QString caseId = QStringLiteral("case_id");
    const QString cmdId = QStringLiteral("cmd_id");
    return {
        fk(cm, QStringLiteral("judgment_id"), QStringLiteral("cm_judgment_master"), id),
        fk(cm, QStringLiteral("nature_case_id"), QStringLiteral("cm_nature_of_case_master"), id),
        fk(cm, QStringLiteral("fact_summary_id"), QStringLiteral("cm_fact_summary_master"), id),
        fk(cm, QStringLiteral("issue_id"), QStringLiteral("cm_issue_master"), id),
        fk(cm, QStringLiteral("remarks_id"), QStringLiteral("cm_remarks_master"), id),
        fk(cm, QStringLiteral("rule_of_law_id"), QStringLiteral("cm_rule_of_law_master"), id),
        fk(QStringLiteral("cm_bench_name"), caseId, cm, caseId),
        fk(QStringLiteral("cmd_category_master"), cmdId, cm, caseId),
        fk(QStringLiteral("cmd_court_master"), cmdId, cm, caseId),
        fk(QStringLiteral("cmd_act_master"), cmdId, cm, caseId),
        fk(QStringLiteral("cmd_category_master"), QStringLiteral("cat_id"), QStringLiteral("category_master"), id),
        fk(QStringLiteral("cmd_act_master"), QStringLiteral("act_id"), QStringLiteral("act_master"), id),
        fk(QStringLiteral("cmd_court_master"), QStringLiteral("court_id"), QStringLiteral("court_master"), id),
    };
}

QList<ForeignKeyDef> Schema::foreignKeysOf(const QString& table)
{
    QList<ForeignKeyDef> keys;
    for (const ForeignKeyDef& k : foreignKeys())
        if (k.table == table)
            keys << k;
    return keys;
}

DbError Schema::createMasterTables(const DbContext& ctx)
{
    return createTables(ctx, masterTables());
}

DbError Schema::createCaseTable(const DbContext& ctx)
{
    return createTables(ctx, {caseTable()});
}

DbError Schema::createLinkTables(const DbContext& ctx)
{
    return createTables(ctx, linkTables());
}

DbError Schema::addForeignKeys(const DbContext& ctx)
{
    DbConnection conn(ctx);
    if (!conn.isOpen())
        return conn.error();
    for (const ForeignKeyDef& k : foreignKeys()) {
        const QString statement = conn.dialect().addForeignKeyStatement(k);
        if (statement.isEmpty())
            continue; // declared with its table
        QSqlQuery q(conn.db());
        if (!q.exec(statement))
            return DbError::fromSql(q.lastError());
    }
    return {};
}

DbError Schema::create(const DbContext& ctx)
{
    for (auto step :
         {&Schema::createMasterTables, &Schema::createCaseTable, &Schema::createLinkTables, &Schema::addForeignKeys}) {
        if (DbError e = step(ctx))
            return e;
    }
    return {};
}
