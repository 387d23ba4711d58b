#include "gui/masters/master_list_screen.h"

#include <QLineEdit>
#include <QTreeWidgetItem>

MasterListScreen::MasterListScreen(const DbContext& ctx, MasterKind kind, const QString& number, QWidget* parent)
    : MasterFormScreen(
          ctx, kind, number, QStringLiteral("Frm"), QStringLiteral("LV"),
          {{Action::Add, QStringLiteral("&Add"), QStringLiteral("Add ") + MasterTable::of(kind).noun},
           {Action::Modify, QStringLiteral("&Modify"), QStringLiteral("Modify ") + MasterTable::of(kind).noun},
           {Action::Delete, QStringLiteral("&Delete"), QStringLiteral("Delete ") + MasterTable::of(kind).noun},
           {Action::Close, QStringLiteral("&Close"), QStringLiteral("Close")},
           {Action::Help, QString(), QStringLiteral("Help")},
           {Action::Print, QString(), QStringLiteral("Print")}},
          parent)
{
    loadOnOpen();
}

Error MasterListScreen::reload(Reload)
{
    // Every change, a refused one included, ends with both lists read again and the next id proposed.
    if (Error error = loadIds())
        return error;
    return loadList();
}

void MasterListScreen::selectFromList(const QTreeWidgetItem& item)
{
    if (!selectRow(item.data(0, Qt::UserRole).toLongLong()))
        return;
    if (!item.text(1).isEmpty())
        m_name->setText(item.text(1));
    showEntryState();
}
