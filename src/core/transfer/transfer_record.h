#pragma once

#include "core/citations/citation.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>

struct TransferAct {
    QString name;
    QString section;

    bool operator==(const TransferAct& o) const { return name == o.name && section == o.section; }
};

// One citation as a file holds it: its masters by name, not yet matched to stored rows.
struct TransferRecord {
    qint64 place = 0;   // the line, row or item it began on
    QString problem;    // why it cannot be stored as read (a bad date, a line of the wrong shape); empty when fine
    QString leftOutWhy; // why a reader leaves it out (an item of another kind); empty when taken

    QString citation;
    QString caseTitle;
    QDate judgmentDate;
    std::array<QString, Citation::kTextCount> texts;
    QStringList categories;
    QStringList courts;
    QList<TransferAct> acts;
    QStringList bench;
};
