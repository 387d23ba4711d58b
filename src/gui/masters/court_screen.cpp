#include "gui/masters/court_screen.h"

CourtScreen::CourtScreen(const DbContext& ctx, QWidget* parent)
    : MasterListScreen(ctx, MasterKind::Court, QStringLiteral("0011"), parent)
{}
