#pragma once

#include "core/transfer/transfer_record.h"

#include <QJsonObject>

// How a citation is told in CSL-JSON, the form reference managers exchange. An item of type "legal_case" is a
// citation: title the case, authority the court, issued the date of judgment, the citation made of
// container-title, volume and page (or number when those are missing), note and abstract the remarks. What CSL
// has no field for (the other long texts, categories, Acts, bench, more than one court) travels in the item's
// "custom" object under "lexorium", where this program writes it and reads it back.
class CslJsonMapping
{
public:
    static const QString kLegalCase;

    // The item as a record; an item of another type is left out (leftOutWhy says so).
    static TransferRecord record(const QJsonObject& item, qint64 place);
    // The item the export writes for a record; id is the item's "id".
    static QJsonObject item(const TransferRecord& record, qint64 id);
};
