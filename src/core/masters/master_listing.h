#pragma once

#include "core/masters/master_kind.h"

#include <QString>

// What the Print button of a master screen lists: the query, the report's caption and title, and the name column.
struct MasterListing {
    QString query;
    QString caption;
    QString title;
    QString nameHeading;
    QString nameColumn;
};

MasterListing masterListing(MasterKind kind);
