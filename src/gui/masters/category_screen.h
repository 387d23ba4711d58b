#pragma once

#include "gui/masters/master_list_screen.h"

// The Category master list.
class CategoryScreen : public MasterListScreen
{
    Q_OBJECT

public:
    CategoryScreen(const DbContext& ctx, QWidget* parent = nullptr);

public slots:
    void Cmd0002_Click(int index) { Cmd_Click(index); }
    void Cbo0002_Click() { Cbo_Click(); }
    void LV0002_Click() { LV_Click(); }
};
