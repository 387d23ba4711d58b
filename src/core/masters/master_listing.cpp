#include "core/masters/master_listing.h"

MasterListing masterListing(MasterKind kind)
{
    switch (kind) {
    case MasterKind::Court:
        // The court report's caption and title really do differ by one letter.
        return {QStringLiteral("SELECT * FROM court_master ORDER BY id ASC"),
                QStringLiteral("Court Name Listing Report"), QStringLiteral("Court Names Listing Report"),
                QStringLiteral("Court"), QStringLiteral("court_name")};
    case MasterKind::Act:
        return {QStringLiteral("SELECT * FROM act_master ORDER BY id ASC"), QStringLiteral("Act Listing Report"),
                QStringLiteral("Act Listing Report"), QStringLiteral("Act"), QStringLiteral("act")};
    case MasterKind::Category:
        break;
    }
    return {QStringLiteral("SELECT * FROM category_master ORDER BY id ASC"), QStringLiteral("Category Listing Report"),
            QStringLiteral("Category Listing Report"), QStringLiteral("Category"), QStringLiteral("category")};
}
