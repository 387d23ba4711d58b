#include "core/citations/citation_export.h"

#include "core/citations/atomic_file.h"
#include "core/citations/xls_writer.h"
#include "core/citations/xlsx_writer.h"
#include "core/db/db_session.h"

#include <QLocale>

namespace {

// The six texts are joined to their citation: a citation missing any of its text rows gives no row at all.
const QString kMainQuery = QStringLiteral(
    "SELECT c.case_id AS case_id, c.citation AS citation, c.dt_of_judgment AS dt_of_judgment, c.c_case AS c_case, "
    "j.judgment AS judgment, n.nature_of_case AS nature_of_case, f.fact_summary AS fact_summary, i.issue AS issue, "
    "r.rule_of_law AS rule_of_law, m.remarks AS remarks "
    "FROM case_master c, cm_judgment_master j, cm_fact_summary_master f, cm_nature_of_case_master n, "
    "cm_issue_master i, cm_rule_of_law_master r, cm_remarks_master m "
    "WHERE c.judgment_id = j.id AND c.nature_case_id = n.id AND c.fact_summary_id = f.id AND c.issue_id = i.id "
    "AND c.rule_of_law_id = r.id AND c.remarks_id = m.id AND c.case_id = ?");

// Link keys are taken in list order when a citation is written, so ordering by them gives the lists back as
// they were entered.
const QString kCourtQuery =
    QStringLiteral("SELECT c.court_name AS court_name FROM court_master c, case_master m, cmd_court_master cc "
                   "WHERE m.case_id = cc.cmd_id AND cc.court_id = c.id AND m.case_id = ? ORDER BY cc.id");
const QString kCategoryQuery =
    QStringLiteral("SELECT c.category AS category FROM category_master c, case_master m, cmd_category_master cc "
                   "WHERE m.case_id = cc.cmd_id AND cc.cat_id = c.id AND m.case_id = ? ORDER BY cc.id");
const QString kActQuery =
    QStringLiteral("SELECT c.act AS act, cc.section AS section FROM act_master c, case_master m, cmd_act_master cc "
                   "WHERE m.case_id = cc.cmd_id AND cc.act_id = c.id AND m.case_id = ? ORDER BY cc.id");
const QString kBenchQuery = QStringLiteral("SELECT b.bench_name AS bench_name FROM cm_bench_name b, case_master m "
                                           "WHERE m.case_id = b.case_id AND m.case_id = ? ORDER BY b.id");

// English month names and fixed digits whatever the user's locale.
QString formatDate(const QDate& date, const QString& format)
{
    return date.isValid() ? QLocale::c().toString(date, format) : QString();
}

QString todayText(const QDate& today)
{
    return formatDate(today, QStringLiteral("dd/MM/yyyy"));
}

QString judgmentMonth(const QDate& date)
{
    return formatDate(date, QStringLiteral("MMM-yyyy"));
}

QDate dateOf(const QVariant& value)
{
    // SQLite hands the date back as text, PostgreSQL as a timestamp.
    const QDate date = value.toDate();
    return date.isValid() ? date : value.toDateTime().date();
}

DbResult<QStringList> readNames(DbSession& session, const QString& sql, const QString& column, qint64 caseId)
{
    DbResult<QSqlQuery> q = session.query(sql, {caseId});
    if (!q)
        return q.error();
    QStringList names;
    while (q->next())
        names << q->value(column).toString();
    return names;
}

DbError writeSheet(DbSession& session, CitationExport::Format format, qint64 caseId, const QString& path,
                   const QDate& today)
{
    const DbResult<CitationReport> report = CitationExport::read(session, caseId);
    if (!report)
        return report.error();
    const Sheet sheet = CitationExport::sheet(*report, today);
    QString error;
    const bool written = format == CitationExport::Format::Xlsx ? XlsxWriter::write(path, sheet, &error)
                                                                : XlsWriter::write(path, sheet, &error);
    return written ? DbError() : DbError::other(error);
}

} // namespace

QString CitationExport::textFilter()
{
    return QStringLiteral("Text Document (*.txt)");
}

QString CitationExport::xlsFilter()
{
    return QStringLiteral("Excel Document (*.xls)");
}

QString CitationExport::xlsxFilter()
{
    return QStringLiteral("Excel Workbook (*.xlsx)");
}

QString CitationExport::dialogFilter()
{
    return QStringList{textFilter(), xlsFilter(), xlsxFilter()}.join(QStringLiteral(";;"));
}

CitationExport::Format CitationExport::formatFor(const QString& fileName, const QString& selectedFilter)
{
    const QString name = fileName.toLower();
    if (name.endsWith(QLatin1String(".txt")))
        return Format::Text;
    if (name.endsWith(QLatin1String(".xlsx")))
        return Format::Xlsx;
    if (name.endsWith(QLatin1String(".xls")))
        return Format::Xls;
    // A name typed without a known ending is written as the filter the user had picked says.
    if (selectedFilter == textFilter())
        return Format::Text;
    if (selectedFilter == xlsxFilter())
        return Format::Xlsx;
    return Format::Xls;
}

QString CitationExport::notStoredMessage(qint64 caseId)
{
    return QStringLiteral("The citation %1 is not stored, or one of its texts is missing. Nothing was written.")
        .arg(caseId);
}

DbResult<CitationReport> CitationExport::read(DbSession& session, qint64 caseId)
{
    CitationReport r;
    {
        DbResult<QSqlQuery> q = session.query(kMainQuery, {caseId});
        if (!q)
            return q.error();
        if (!q->next())
            return DbError::other(notStoredMessage(caseId));
        const auto text = [&q](const char* column) {
            return q->value(QLatin1String(column)).toString();
        };
        r.citation = text("citation");
        r.judgment = text("judgment");
        r.caseTitle = text("c_case");
        r.judgmentDate = dateOf(q->value(QStringLiteral("dt_of_judgment")));
        r.factSummary = text("fact_summary");
        r.natureOfCase = text("nature_of_case");
        r.issue = text("issue");
        r.ruleOfLaw = text("rule_of_law");
        r.remarks = text("remarks");
    }
    DbResult<QStringList> courts = readNames(session, kCourtQuery, QStringLiteral("court_name"), caseId);
    if (!courts)
        return courts.error();
    r.courts = *courts;
    DbResult<QStringList> categories = readNames(session, kCategoryQuery, QStringLiteral("category"), caseId);
    if (!categories)
        return categories.error();
    r.categories = *categories;
    {
        DbResult<QSqlQuery> q = session.query(kActQuery, {caseId});
        if (!q)
            return q.error();
        while (q->next())
            r.acts.append({q->value(QStringLiteral("act")).toString(), q->value(QStringLiteral("section")).toString()});
    }
    DbResult<QStringList> bench = readNames(session, kBenchQuery, QStringLiteral("bench_name"), caseId);
    if (!bench)
        return bench.error();
    r.bench = *bench;
    return r;
}

QByteArray CitationExport::text(const CitationReport& r, const QDate& today)
{
    QString out;
    const auto line = [&out](const QString& text) {
        out += text + QStringLiteral("\r\n");
    };
    const auto numbered = [&line](const QString& heading, const QStringList& names) {
        if (names.isEmpty())
            return;
        line(QString());
        line(heading);
        for (int i = 0; i < names.size(); ++i)
            line(QStringLiteral("   ") + QString::number(i + 1) + QLatin1Char(')') + names.at(i));
    };

    line(QStringLiteral("Dated:") + todayText(today));
    line(QString());
    line(QString());
    line(QStringLiteral("Citation: ") + r.citation);
    // The long texts go out as stored, line breaks and all.
    line(QStringLiteral("Judgment: ") + r.judgment);
    line(QStringLiteral("Case: ") + r.caseTitle);
    line(QStringLiteral("Date of Judgment: ") + judgmentMonth(r.judgmentDate));
    line(QStringLiteral("Summary: ") + r.factSummary);
    line(QStringLiteral("Nature Of Case:") + r.natureOfCase);
    line(QStringLiteral("Issue: ") + r.issue);
    line(QStringLiteral("Rule of Law: ") + r.ruleOfLaw);
    line(QStringLiteral("Remarks: ") + r.remarks);
    numbered(QStringLiteral("Court: "), r.courts);
    numbered(QStringLiteral("Category: "), r.categories);
    if (!r.acts.isEmpty()) {
        line(QString());
        line(QStringLiteral("Act:"));
        for (int i = 0; i < r.acts.size(); ++i) {
            line(QStringLiteral("   ") + QString::number(i + 1) + QLatin1Char(')') + r.acts.at(i).act);
            line(QStringLiteral("   Section: ") + r.acts.at(i).section);
        }
    }
    numbered(QStringLiteral("Bench Name: "), r.bench);
    // UTF-8 without a byte-order mark: names in any script survive, and plain ASCII stays plain ASCII.
    return out.toUtf8();
}

Sheet CitationExport::sheet(const CitationReport& r, const QDate& today)
{
    Sheet sheet{QStringLiteral("Citation"), {}};
    int row = 0;
    const auto addRow = [&sheet, &row](const QString& heading, const QStringList& values) {
        sheet.cells.append({row, 0, heading, true});
        for (int i = 0; i < values.size(); ++i)
            sheet.cells.append({row, i + 1, values.at(i), false});
        ++row;
    };
    addRow(QStringLiteral("Dated"), {todayText(today)});
    addRow(QStringLiteral("Citation"), {r.citation});
    addRow(QStringLiteral("Judgment"), {r.judgment});
    addRow(QStringLiteral("Case"), {r.caseTitle});
    addRow(QStringLiteral("Date Of Judgment"), {judgmentMonth(r.judgmentDate)});
    addRow(QStringLiteral("Summary"), {r.factSummary});
    addRow(QStringLiteral("Nature Of Case"), {r.natureOfCase});
    addRow(QStringLiteral("Issue"), {r.issue});
    addRow(QStringLiteral("RuleOf Law"), {r.ruleOfLaw});
    addRow(QStringLiteral("Remarks"), {r.remarks});
    // A list's heading only when it has rows.
    if (!r.courts.isEmpty())
        addRow(QStringLiteral("Court"), r.courts);
    if (!r.categories.isEmpty())
        addRow(QStringLiteral("Category"), r.categories);
    if (!r.acts.isEmpty()) {
        // Each section stands under its Act.
        QStringList acts;
        QStringList sections;
        for (const ExportedAct& a : r.acts) {
            acts << a.act;
            sections << a.section;
        }
        addRow(QStringLiteral("Act"), acts);
        addRow(QStringLiteral("Section"), sections);
    }
    if (!r.bench.isEmpty())
        addRow(QStringLiteral("Bench Name"), r.bench);
    return sheet;
}

DbError CitationExport::write(DbSession& session, Format format, qint64 caseId, const QString& path, const QDate& today)
{
    switch (format) {
    case Format::Text:
        return writeText(session, caseId, path, today);
    case Format::Xls:
        return writeXls(session, caseId, path, today);
    case Format::Xlsx:
        return writeXlsx(session, caseId, path, today);
    }
    return DbError::other(QStringLiteral("Unknown export format."));
}

DbError CitationExport::writeText(DbSession& session, qint64 caseId, const QString& path, const QDate& today)
{
    const DbResult<CitationReport> report = read(session, caseId);
    if (!report)
        return report.error();
    QString error;
    if (!writeFileAtomically(path, text(*report, today), &error))
        return DbError::other(error);
    return {};
}

DbError CitationExport::writeXls(DbSession& session, qint64 caseId, const QString& path, const QDate& today)
{
    return writeSheet(session, Format::Xls, caseId, path, today);
}

DbError CitationExport::writeXlsx(DbSession& session, qint64 caseId, const QString& path, const QDate& today)
{
    return writeSheet(session, Format::Xlsx, caseId, path, today);
}
