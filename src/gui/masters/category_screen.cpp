#include "gui/masters/category_screen.h"

CategoryScreen::CategoryScreen(const DbContext& ctx, QWidget* parent)
    : MasterListScreen(ctx, MasterKind::Category, QStringLiteral("0002"), parent)
{}
