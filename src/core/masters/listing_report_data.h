#pragma once

#include "core/masters/master_kind.h"
#include "core/util/clock.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// Everything a listing report prints: no database, no painting. Rows are printed in the order given.
struct ListingReportData {
    QString caption;
    QString title;
    QStringList headings;
    QList<QStringList> rows;
    QDate date;
};

// "Date:" and the day as dd-MMM-yyyy, with English month names whatever the user's locale.
QString reportDateLabel(const QDate& date);

// A month and year as the citation listing shows it ("Dec-2026"), English month names.
QString reportMonthYear(const QDate& date);

// Rows are (id, name) pairs as read by the master's listing query.
ListingReportData buildMasterListingData(MasterKind kind, const QList<QStringList>& rows, const QDate& date);

// Rows are (citation, judgment, case, date) with the date already given as month and year.
ListingReportData buildCitationListingData(const QList<QStringList>& rows, const QDate& date);
