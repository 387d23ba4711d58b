#pragma once

#include "gui/masters/master_form_screen.h"

// The Act master list. Unlike the Category and Court screens, its buttons start with Close, the Add/Modify/Delete
// states follow the combo's position, and the list is kept in step by routines of its own.
class ActScreen : public MasterFormScreen
{
    Q_OBJECT

public:
    enum Button { CloseButton = 0, AddButton, ModifyButton, DeleteButton, HelpButton, PrintButton };

    ActScreen(const DbContext& ctx, QWidget* parent = nullptr);

public slots:
    void Cmd0003_Click(int index);
    void Cbo0003_Click();
    void Lv0003_Click();

private:
    DbError ShowReport(Hourglass& busy);
    DbError LoadMasterId();
    DbError AddRecord();
    DbError ModifyRecord();
    // Whether the Act was deleted.
    bool DeleteRecord(DbError* error);
    DbError LoadSelectedRecord();
    DbError AddLVDetails();
    DbError LoadListview();
    void LoadLVRecord();
    void DeleteListDetails();

    DbError addClicked();
    DbError modifyClicked();
    DbError deleteClicked();
    DbError selectedIdChanged() override;
    void setNewEntryState(bool newEntry);
};
