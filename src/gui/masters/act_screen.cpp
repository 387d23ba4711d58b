#include "gui/masters/act_screen.h"

#include <QTreeWidget>

ActScreen::ActScreen(const DbContext& ctx, QWidget* parent)
    : MasterFormScreen(ctx, MasterKind::Act, QStringLiteral("0003"), QStringLiteral("Fra"), QStringLiteral("Lv"),
                       {{Action::Close, QStringLiteral("&Close"), QStringLiteral("Close")},
                        {Action::Add, QStringLiteral("&Add"), QStringLiteral("Add Act")},
                        {Action::Modify, QStringLiteral("&Modify"), QStringLiteral("Modify Act")},
                        {Action::Delete, QStringLiteral("&Delete"), QStringLiteral("Delete Act")},
                        {Action::Help, QString(), QStringLiteral("Help")},
                        {Action::Print, QString(), QStringLiteral("Print")}},
                       parent)
{
    loadOnOpen();
}

Error ActScreen::reload(Reload what)
{
    Error error;
    switch (what) {
    case Reload::All:
    case Reload::Added:
    case Reload::Modified:
        error = loadList();
        break;
    case Reload::Deleted:
        // Only the deleted row's item goes; the rest of the list is not read again.
        removeSelectedItem();
        break;
    case Reload::DeleteRefused:
        // The list and the combo stay as they were.
        return {};
    }
    return error ? error : loadIds();
}

void ActScreen::selectFromList(const QTreeWidgetItem& item)
{
    if (selectRow(item.data(0, Qt::UserRole).toLongLong()))
        onIdChosen();
}

void ActScreen::removeSelectedItem()
{
    const std::optional<qint64> id = selectedId();
    for (int i = 0; id && i < m_list->topLevelItemCount(); ++i)
        if (m_list->topLevelItem(i)->data(0, Qt::UserRole).toLongLong() == *id)
            delete m_list->takeTopLevelItem(i--);
}
