#include "core/masters/master_table.h"

#include "core/db/schema.h"

namespace {
// The length of a name column as the schema declares it.
int columnLength(const QString& table, const QString& column)
{
    for (const TableDef& t : Schema::masterTables())
        if (t.name == table)
            for (const ColumnDef& c : t.columns)
                if (c.name == column)
                    return c.maxLength;
    return 0;
}

MasterTable make(MasterKind kind, const QString& table, const QString& name, const QString& linkTable,
                 const QString& linkColumn)
{
    MasterTable t;
    t.kind = kind;
    t.table = table;
    t.nameColumn = name;
    t.maxNameLength = columnLength(table, name);
    t.linkTable = linkTable;
    t.linkColumn = linkColumn;
    t.selectAll = QStringLiteral("SELECT * FROM ") + table;
    t.selectById = QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" Where id = ?");
    t.selectOthers = QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE id <> ?");
    t.insert =
        QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (id,") + name + QStringLiteral(") VALUES(?,? )");
    t.update = QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") + name + QStringLiteral(" = ? WHERE id = ?");
    t.inUse = QStringLiteral("Select * from %1,%2 where %1.id = %2.%3 And %1.id = ?").arg(table, linkTable, linkColumn);
    t.remove = QStringLiteral("DELETE FROM ") + table + QStringLiteral(" WHERE id = ?");
    t.listing = QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" ORDER BY id ASC");
    t.helpContext = 0;
    return t;
}

MasterTable category()
{
    MasterTable t = make(MasterKind::Category, QStringLiteral("category_master"), QStringLiteral("category"),
                         QStringLiteral("cmd_category_master"), QStringLiteral("cat_id"));
    t.caption = QStringLiteral("Category");
    t.nameLabel = QStringLiteral("Category");
    t.noun = QStringLiteral("Category");
    t.emptyName = QStringLiteral("Please enter the Category name");
    t.addDuplicate = QStringLiteral("Category already exists.");
    t.modifyDuplicate = QStringLiteral("Category already exist.");
    t.deleteQuestionEnd = QStringLiteral("' Category?");
    t.helpContext = 20100;
    return t;
}

MasterTable court()
{
    MasterTable t = make(MasterKind::Court, QStringLiteral("court_master"), QStringLiteral("court_name"),
                         QStringLiteral("cmd_court_master"), QStringLiteral("court_id"));
    t.caption = QStringLiteral("Court");
    t.nameLabel = QStringLiteral("Court Name");
    t.noun = QStringLiteral("Court");
    t.emptyName = QStringLiteral("Please enter the court name");
    t.addDuplicate = QStringLiteral("court already exists.");
    t.modifyDuplicate = QStringLiteral("Court name already exists.");
    t.deleteQuestionEnd = QStringLiteral("' court?");
    t.helpContext = 110100;
    return t;
}

MasterTable act()
{
    MasterTable t = make(MasterKind::Act, QStringLiteral("act_master"), QStringLiteral("act"),
                         QStringLiteral("cmd_act_master"), QStringLiteral("act_id"));
    t.selectAll = QStringLiteral("SELECT * FROM act_master ");
    t.inUse = QStringLiteral("Select * from act_master,cmd_act_master where cmd_act_master.act_id = act_master.id "
                             "And act_master.id = ?");
    t.remove = QStringLiteral("DELETE  FROM act_master WHERE id = ?");
    t.caption = QStringLiteral("Act");
    t.nameLabel = QStringLiteral("Act");
    t.noun = QStringLiteral("Act");
    t.emptyName = QStringLiteral("Please enter the Act name");
    t.addDuplicate = QStringLiteral("Act already exists.");
    t.modifyDuplicate = QStringLiteral("Act already exists.");
    t.deleteQuestionEnd = QStringLiteral("' act?");
    t.helpContext = 30100;
    return t;
}
} // namespace

const MasterTable& MasterTable::of(MasterKind kind)
{
    // Built once and never changed afterwards.
    static const MasterTable tables[] = {category(), court(), act()};
    switch (kind) {
    case MasterKind::Court:
        return tables[1];
    case MasterKind::Act:
        return tables[2];
    case MasterKind::Category:
        break;
    }
    return tables[0];
}
