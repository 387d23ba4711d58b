#pragma once

#include "master_list_screen.h"

// The Category master list.
class CS06000201 : public MasterListScreen
{
    Q_OBJECT

public:
    CS06000201(const DbContext& ctx, QWidget* parent = nullptr);

public slots:
    void Cmd0002_Click(int index) { Cmd_Click(index); }
    void Cbo0002_Click() { Cbo_Click(); }
    void LV0002_Click() { LV_Click(); }
};
