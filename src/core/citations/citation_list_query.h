#pragma once

#include "core/citations/citation.h"
#include "core/masters/listing_report_data.h"
#include "core/util/result.h"

#include <QList>
#include <QStringList>

#include <array>
#include <functional>

class DbSession;

// One row of the citation list. The long texts are cut short by the query itself, so the list never reads a
// whole text; the full one is fetched by its key when it is asked for.
struct CitationListRow {
    qint64 caseId = 0;
    QString citation;
    QString caseTitle;
    QDate judgmentDate;
    std::array<QString, Citation::kTextCount> texts;
    std::array<qint64, Citation::kTextCount> textIds{};
    std::array<bool, Citation::kTextCount> shortened{};

    // The ten cells as the list shows them: id, citation, judgment, case, "MMM-yyyy", the other five texts.
    QString cell(int column) const;
};

// The queries behind the citation list and its listing report. Rows come in case id order.
class CitationListQuery
{
public:
    // How much of a long text a cell shows; a longer text ends in "..." there.
    static constexpr int kCellTextLength = 120;
    static constexpr int kColumnCount = 10;

    explicit CitationListQuery(DbSession& session);

    static QStringList headers();
    // The long text shown in a column, or -1 for the other columns.
    static int textOfColumn(int column);

    // Every case id, in the order of the list: the only thing read for all rows at once.
    Result<QList<qint64>> caseIds() const;
    // The rows of the cases whose ids lie between first and last, in id order, in one joined query.
    Result<QList<CitationListRow>> rows(qint64 firstCaseId, qint64 lastCaseId) const;
    // A whole long text, by the key of its row; empty when the row is gone.
    Result<QString> fullText(Citation::Text text, qint64 textId) const;

    // The listing report's cases (those with a judgment row), ids only.
    Result<QList<qint64>> listingCaseIds() const;
    // Walks the listing report's rows (citation, judgment, case, month and year) of those cases, a block at a
    // time, so that no more than one block of whole judgments is held. The walk starts at place `start` in caseIds
    // (keyed on its case id, so the rows before it are not read); fn gets each row's place in caseIds and may stop
    // the walk by returning false. Cases gone since caseIds was read are passed over.
    Error eachListingRow(const QList<qint64>& caseIds, const std::function<bool(int index, const QStringList& row)>& fn,
                         int start = 0) const;
    // The report's caption, title, headings and date, without rows.
    static ListingReportData listingHeader(const Clock& today);

private:
    DbSession& m_session;
};
