#pragma once

#include "gui/masters/master_form_screen.h"

// A simple master list: Add, Modify, Delete, Close, Help and Print, with the id combo ending in the next free id.
// The Category and Court screens are this screen with their own table and words.
class MasterListScreen : public MasterFormScreen
{
    Q_OBJECT

protected:
    MasterListScreen(const DbContext& ctx, MasterKind kind, const QString& number, QWidget* parent);

private:
    Error reload(Reload what) override;
    // The row's name comes with the item, so nothing is read.
    void selectFromList(const QTreeWidgetItem& item) override;
};
