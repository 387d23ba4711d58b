#pragma once

#include "gui/masters/master_list_screen.h"

// The Court master list.
class CourtScreen : public MasterListScreen
{
    Q_OBJECT

public:
    CourtScreen(const DbContext& ctx, QWidget* parent = nullptr);

public slots:
    void Cmd0011_Click(int index) { Cmd_Click(index); }
    void Cbo0011_Click() { Cbo_Click(); }
    void LV0011_Click() { LV_Click(); }
};
