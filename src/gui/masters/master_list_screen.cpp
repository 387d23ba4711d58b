#include "gui/masters/master_list_screen.h"

#include "gui/common/hourglass.h"
#include "gui/common/message_box.h"

#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTreeWidget>

MasterListScreen::MasterListScreen(const DbContext& ctx, MasterKind kind, const QString& number, QWidget* parent)
    : MasterFormScreen(ctx, kind, number, QStringLiteral("Frm"), QStringLiteral("LV"),
                       {{QStringLiteral("&Add"), QStringLiteral("Add ") + MasterTable::of(kind).noun},
                        {QStringLiteral("&Modify"), QStringLiteral("Modify ") + MasterTable::of(kind).noun},
                        {QStringLiteral("&Delete"), QStringLiteral("Delete ") + MasterTable::of(kind).noun},
                        {QStringLiteral("&Close"), QStringLiteral("Close")},
                        {QString(), QStringLiteral("Help")},
                        {QString(), QStringLiteral("Print")}},
                       parent)
{
    for (int i = 0; i < m_buttons.size(); ++i)
        connect(m_buttons.at(i), &QPushButton::clicked, this, [this, i] { Cmd_Click(i); });
    connect(m_ids, qOverload<int>(&QComboBox::currentIndexChanged), this, &MasterListScreen::Cbo_Click);
    connect(m_list, &QTreeWidget::itemClicked, this, &MasterListScreen::LV_Click);

    // Opening the screen.
    Hourglass busy;
    DbError error = LoadMasterId();
    const DbError listError = LoadList();
    if (!error)
        error = listError;
    if (error) {
        busy.release();
        MasterScreenHooks::showError(this, error);
    }
}

void MasterListScreen::Cmd_Click(int index)
{
    Hourglass busy;
    DbError error;
    switch (index) {
    case AddButton:
        error = addClicked();
        break;
    case ModifyButton:
        error = modifyClicked();
        break;
    case DeleteButton:
        error = deleteClicked();
        break;
    case CloseButton:
        reject();
        break;
    case HelpButton:
        showHelp();
        break;
    case PrintButton:
        error = ShowReport(busy);
        break;
    default:
        break;
    }
    finishAction(busy, error);
}

void MasterListScreen::Cbo_Click()
{
    idPicked();
}

void MasterListScreen::LV_Click()
{
    if (m_list->topLevelItemCount() > 0)
        LoadFromList();
}

DbError MasterListScreen::selectedIdChanged()
{
    if (DbError error = LoadSelectedRecord())
        return error;
    DbError error;
    const std::optional<qint64> next = m_store.nextId(&error);
    if (error)
        return error;
    setNewEntryState(QString::number(*next) == m_ids->currentText());
    return {};
}

DbError MasterListScreen::LoadList()
{
    resetList();
    DbError error;
    const QList<MasterRow> rows = m_store.rows(&error);
    for (const MasterRow& row : rows)
        addListItem(row);
    return error;
}

void MasterListScreen::LoadFromList()
{
    const QTreeWidgetItem* item = m_list->currentItem();
    if (!item)
        return;
    if (!item->text(0).isEmpty()) {
        // The row's name comes with the item, so the combo need not look it up again.
        const QSignalBlocker quiet(m_ids);
        m_ids->setCurrentIndex(m_ids->findText(item->text(0)));
    }
    if (!item->text(1).isEmpty())
        m_name->setText(item->text(1));
    setNewEntryState(false);
}

DbError MasterListScreen::LoadMasterId()
{
    DbError error = fillIdCombo();
    if (error)
        return error;
    error = selectedIdChanged();
    setNewEntryState(true);
    return error;
}

DbError MasterListScreen::LoadSelectedRecord()
{
    return loadSelectedName();
}

DbError MasterListScreen::AddRecord()
{
    return addTypedName();
}

DbError MasterListScreen::ModifyRecord()
{
    return renameToTypedName();
}

DbError MasterListScreen::DeleteRecord()
{
    return removeSelected().error;
}

DbError MasterListScreen::ShowReport(Hourglass& busy)
{
    return showReport(busy);
}

// A failed write still reloads the lists, so the screen shows what the table holds and the next free id.
DbError MasterListScreen::addClicked()
{
    if (refuseEmptyName())
        return {};
    DbError error = AddRecord();
    const DbError ids = LoadMasterId();
    const DbError list = LoadList();
    return error ? error : ids ? ids : list;
}

DbError MasterListScreen::modifyClicked()
{
    if (refuseEmptyName())
        return {};
    DbError error = ModifyRecord();
    const DbError list = LoadList();
    const DbError ids = LoadMasterId();
    m_buttons.at(CloseButton)->setFocus();
    return error ? error : list ? list : ids;
}

DbError MasterListScreen::deleteClicked()
{
    if (!confirmDelete())
        return {};
    DbError error = DeleteRecord();
    const DbError ids = LoadMasterId();
    const DbError list = LoadList();
    m_buttons.at(CloseButton)->setFocus();
    return error ? error : ids ? ids : list;
}

void MasterListScreen::setNewEntryState(bool newEntry)
{
    setEntryButtons(newEntry, AddButton, ModifyButton, DeleteButton);
}
