#pragma once

#include "gui/masters/master_list_screen.h"

// The Category master list.
class CategoryScreen : public MasterListScreen
{
    Q_OBJECT

public:
    CategoryScreen(const DbContext& ctx, QWidget* parent = nullptr);
};
