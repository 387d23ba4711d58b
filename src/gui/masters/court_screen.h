#pragma once

#include "gui/masters/master_list_screen.h"

// The Court master list.
class CourtScreen : public MasterListScreen
{
    Q_OBJECT

public:
    CourtScreen(const DbContext& ctx, QWidget* parent = nullptr);
};
