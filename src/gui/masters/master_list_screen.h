#pragma once

#include "gui/masters/master_form_screen.h"

// A simple master list: Add, Modify, Delete, Close, Help and Print, with the id combo ending in the next free id.
// The Category and Court screens are this screen with their own table and words.
class MasterListScreen : public MasterFormScreen
{
    Q_OBJECT

public:
    enum Button { AddButton = 0, ModifyButton, DeleteButton, CloseButton, HelpButton, PrintButton };

public slots:
    void Cmd_Click(int index);
    void Cbo_Click();
    void LV_Click();

protected:
    MasterListScreen(const DbContext& ctx, MasterKind kind, const QString& number, QWidget* parent);

private:
    DbError LoadList();
    void LoadFromList();
    DbError LoadMasterId();
    DbError LoadSelectedRecord();
    DbError AddRecord();
    DbError ModifyRecord();
    DbError DeleteRecord();
    DbError ShowReport(Hourglass& busy);

    DbError addClicked();
    DbError modifyClicked();
    DbError deleteClicked();
    // Cbo_Click's work, its failure left to the caller.
    DbError selectedIdChanged() override;
    void setNewEntryState(bool newEntry);
};
