#include "court_screen.h"

CS06001101::CS06001101(const DbContext& ctx, QWidget* parent)
    : MasterListScreen(ctx, MasterKind::Court, QStringLiteral("0011"), parent)
{}
