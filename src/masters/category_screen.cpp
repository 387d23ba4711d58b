#include "category_screen.h"

CS06000201::CS06000201(const DbContext& ctx, QWidget* parent)
    : MasterListScreen(ctx, MasterKind::Category, QStringLiteral("0002"), parent)
{}
