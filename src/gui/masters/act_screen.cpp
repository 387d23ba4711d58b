#include "gui/masters/act_screen.h"

#include "gui/common/hourglass.h"
#include "gui/common/message_box.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>

ActScreen::ActScreen(const DbContext& ctx, QWidget* parent)
    : MasterFormScreen(ctx, MasterKind::Act, QStringLiteral("0003"), QStringLiteral("Fra"), QStringLiteral("Lv"),
                       {{QStringLiteral("&Close"), QStringLiteral("Close")},
                        {QStringLiteral("&Add"), QStringLiteral("Add Act")},
                        {QStringLiteral("&Modify"), QStringLiteral("Modify Act")},
                        {QStringLiteral("&Delete"), QStringLiteral("Delete Act")},
                        {QString(), QStringLiteral("Help")},
                        {QString(), QStringLiteral("Print")}},
                       parent)
{
    for (int i = 0; i < m_buttons.size(); ++i)
        connect(m_buttons.at(i), &QPushButton::clicked, this, [this, i] { Cmd0003_Click(i); });
    connect(m_ids, qOverload<int>(&QComboBox::currentIndexChanged), this, &ActScreen::Cbo0003_Click);
    connect(m_list, &QTreeWidget::itemClicked, this, &ActScreen::Lv0003_Click);

    // Opening the screen.
    Hourglass busy;
    DbError error = LoadListview();
    LoadLVRecord();
    const DbError ids = LoadMasterId();
    if (!error)
        error = ids;
    if (error) {
        busy.release();
        MasterScreenHooks::showError(this, error);
    }
}

void ActScreen::Cmd0003_Click(int index)
{
    Hourglass busy;
    DbError error;
    switch (index) {
    case CloseButton:
        reject();
        break;
    case AddButton:
        error = addClicked();
        break;
    case ModifyButton:
        error = modifyClicked();
        break;
    case DeleteButton:
        error = deleteClicked();
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

void ActScreen::Cbo0003_Click()
{
    idPicked();
}

void ActScreen::Lv0003_Click()
{
    const QTreeWidgetItem* item = m_list->currentItem();
    if (m_list->topLevelItemCount() == 0 || !item)
        return;
    {
        const QSignalBlocker quiet(m_ids);
        m_ids->setCurrentIndex(m_ids->findText(item->text(0)));
    }
    Cbo0003_Click();
}

DbError ActScreen::selectedIdChanged()
{
    const DbError error = LoadSelectedRecord();
    // The last entry is the next free id.
    setNewEntryState(m_ids->count() > 0 && m_ids->currentIndex() == m_ids->count() - 1);
    return error;
}

DbError ActScreen::ShowReport(Hourglass& busy)
{
    return showReport(busy);
}

DbError ActScreen::LoadMasterId()
{
    if (DbError error = fillIdCombo())
        return error;
    return selectedIdChanged();
}

DbError ActScreen::AddRecord()
{
    return addTypedName();
}

DbError ActScreen::ModifyRecord()
{
    return renameToTypedName();
}

bool ActScreen::DeleteRecord(DbError* error)
{
    const MasterResult result = removeSelected();
    *error = result.error;
    // A row somebody else deleted meanwhile is gone all the same.
    return result.outcome == MasterResult::Outcome::Done || result.outcome == MasterResult::Outcome::Missing;
}

DbError ActScreen::LoadSelectedRecord()
{
    return loadSelectedName();
}

DbError ActScreen::AddLVDetails()
{
    resetList();
    DbError error;
    for (const MasterRow& row : m_store.rows(&error))
        addListItem(row);
    return error;
}

DbError ActScreen::LoadListview()
{
    resetList();
    const QSignalBlocker quiet(m_ids);
    m_ids->clear();
    DbError error;
    for (const MasterRow& row : m_store.rows(&error)) {
        m_ids->addItem(QString::number(row.id));
        addListItem(row);
    }
    // Filled but nothing picked yet, as LoadLVRecord expects.
    m_ids->setCurrentIndex(-1);
    return error;
}

void ActScreen::LoadLVRecord()
{
    if (m_list->topLevelItemCount() == 0)
        return;
    const QList<QTreeWidgetItem*> found = m_list->findItems(m_ids->currentText(), Qt::MatchExactly, 0);
    if (!found.isEmpty())
        m_list->setCurrentItem(found.first());
}

void ActScreen::DeleteListDetails()
{
    const QList<QTreeWidgetItem*> found = m_list->findItems(m_ids->currentText(), Qt::MatchExactly, 0);
    if (!found.isEmpty())
        delete found.first();
    const QSignalBlocker quiet(m_ids);
    m_ids->clear();
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        m_ids->addItem(m_list->topLevelItem(i)->text(0));
}

// As on the Category screen, a failed write still reloads, so the screen shows what the table holds.
DbError ActScreen::addClicked()
{
    if (refuseEmptyName())
        return {};
    const DbError error = AddRecord();
    const DbError list = AddLVDetails();
    const DbError ids = LoadMasterId();
    m_name->setFocus();
    return error ? error : list ? list : ids;
}

DbError ActScreen::modifyClicked()
{
    if (refuseEmptyName())
        return {};
    const DbError error = ModifyRecord();
    const DbError list = LoadListview();
    const DbError ids = LoadMasterId();
    m_buttons.at(CloseButton)->setFocus();
    return error ? error : list ? list : ids;
}

DbError ActScreen::deleteClicked()
{
    if (!confirmDelete())
        return {};
    DbError error;
    DbError ids;
    if (DeleteRecord(&error)) {
        DeleteListDetails();
        ids = LoadMasterId();
    }
    m_buttons.at(CloseButton)->setFocus();
    return error ? error : ids;
}

void ActScreen::setNewEntryState(bool newEntry)
{
    setEntryButtons(newEntry, AddButton, ModifyButton, DeleteButton);
}
