#include "core/masters/listing_report_data.h"

#include "core/masters/master_listing.h"

#include <QLocale>

QString reportDateLabel(const QDate& date)
{
    return QStringLiteral("Date:") + QLocale::c().toString(date, QStringLiteral("dd-MMM-yyyy"));
}

QString reportMonthYear(const QDate& date)
{
    return QLocale::c().toString(date, QStringLiteral("MMM-yyyy"));
}

ListingReportData buildMasterListingData(MasterKind kind, const QList<QStringList>& rows, const QDate& date)
{
    const MasterListing listing = masterListing(kind);
    ListingReportData data;
    data.caption = listing.caption;
    data.title = listing.title;
    data.headings = QStringList{QStringLiteral("Id"), listing.nameHeading};
    data.rows = rows;
    data.date = date;
    return data;
}

ListingReportData buildCitationListingData(const QList<QStringList>& rows, const QDate& date)
{
    ListingReportData data;
    data.caption = QStringLiteral("Citation Listing Report");
    data.title = data.caption;
    data.headings = QStringList{QStringLiteral("Citation"), QStringLiteral("Judgment"), QStringLiteral("Case"),
                                QStringLiteral("Date")};
    data.rows = rows;
    data.date = date;
    return data;
}
