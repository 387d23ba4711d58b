#pragma once

#include "gui/masters/master_form_screen.h"

// The Act master list. Unlike the Category and Court screens, its buttons start with Close, a delete drops the
// row's item instead of reading the list again, and a refused delete leaves the list and the combo as they were.
class ActScreen : public MasterFormScreen
{
    Q_OBJECT

public:
    ActScreen(const DbContext& ctx, QWidget* parent = nullptr);

private:
    Error reload(Reload what) override;
    // Picks the item's row in the combo, which reads it.
    void selectFromList(const QTreeWidgetItem& item) override;

    // Drops the deleted row's item; the combo is filled again after it.
    void removeSelectedItem();
};
