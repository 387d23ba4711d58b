#include "core/citations/citation_export.h"

#include "core/citations/atomic_file.h"
#include "core/citations/citation_store.h"
#include "core/citations/xls_writer.h"
#include "core/citations/xlsx_writer.h"
#include "core/db/db_session.h"

#include <QLocale>

#include <array>
#include <optional>

namespace {

// The endings the export knows, each with the format it writes.
const std::array<std::pair<const char*, CitationExport::Format>, 3> kEndings{{
    {".txt", CitationExport::Format::Text},
    {".xls", CitationExport::Format::Xls},
    {".xlsx", CitationExport::Format::Xlsx},
}};

std::optional<CitationExport::Format> formatOfEnding(const QString& fileName)
{
    for (const auto& [ending, format] : kEndings)
        if (fileName.endsWith(QLatin1String(ending), Qt::CaseInsensitive))
            return format;
    return std::nullopt;
}

QString endingOf(CitationExport::Format format)
{
    for (const auto& [ending, f] : kEndings)
        if (f == format)
            return QLatin1String(ending);
    return {};
}

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

Error writeSheet(DbSession& session, CitationExport::Format format, qint64 caseId, const QString& path,
                 const QDate& today)
{
    const Result<CitationReport> report = CitationExport::read(session, caseId);
    if (!report)
        return report.error();
    const Sheet sheet = CitationExport::sheet(*report, today);
    return format == CitationExport::Format::Xlsx ? XlsxWriter::write(path, sheet) : XlsWriter::write(path, sheet);
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
    if (const std::optional<Format> byEnding = formatOfEnding(fileName))
        return *byEnding;
    // A name typed without a known ending is written as the filter the user had picked says.
    if (selectedFilter == textFilter())
        return Format::Text;
    if (selectedFilter == xlsxFilter())
        return Format::Xlsx;
    return Format::Xls;
}

QString CitationExport::withEnding(const QString& fileName, const QString& selectedFilter)
{
    if (formatOfEnding(fileName))
        return fileName;
    if (selectedFilter.contains(QLatin1String("*.xlsx")))
        return fileName + endingOf(Format::Xlsx);
    if (selectedFilter.contains(QLatin1String("*.xls")))
        return fileName + endingOf(Format::Xls);
    return fileName + endingOf(Format::Text);
}

QString CitationExport::notStoredMessage(qint64 caseId)
{
    return QStringLiteral("The citation %1 is not stored, or one of its texts is missing. Nothing was written.")
        .arg(caseId);
}

Result<CitationReport> CitationExport::read(DbSession& session, qint64 caseId)
{
    const Result<Citation> c = CitationStore(session).loadWhole(caseId);
    if (!c)
        return c.error().kind == Error::Kind::NotFound ? Error::other(notStoredMessage(caseId)) : c.error();
    CitationReport r;
    r.citation = c->citation;
    r.judgment = c->text(Citation::Judgment);
    r.caseTitle = c->caseTitle;
    r.judgmentDate = c->judgmentDate;
    r.factSummary = c->text(Citation::FactSummary);
    r.natureOfCase = c->text(Citation::NatureOfCase);
    r.issue = c->text(Citation::Issue);
    r.ruleOfLaw = c->text(Citation::RuleOfLaw);
    r.remarks = c->text(Citation::Remarks);
    for (const CitationLink& court : c->courts)
        r.courts << court.name;
    for (const CitationLink& category : c->categories)
        r.categories << category.name;
    for (const CitationLink& act : c->acts)
        r.acts.append({act.name, act.section});
    r.bench = c->bench;
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

Error CitationExport::write(DbSession& session, Format format, qint64 caseId, const QString& path, const QDate& today)
{
    switch (format) {
    case Format::Text:
        return writeText(session, caseId, path, today);
    case Format::Xls:
        return writeXls(session, caseId, path, today);
    case Format::Xlsx:
        return writeXlsx(session, caseId, path, today);
    }
    return Error::other(QStringLiteral("Unknown export format."));
}

Error CitationExport::writeText(DbSession& session, qint64 caseId, const QString& path, const QDate& today)
{
    const Result<CitationReport> report = read(session, caseId);
    if (!report)
        return report.error();
    return writeFileAtomically(path, text(*report, today));
}

Error CitationExport::writeXls(DbSession& session, qint64 caseId, const QString& path, const QDate& today)
{
    return writeSheet(session, Format::Xls, caseId, path, today);
}

Error CitationExport::writeXlsx(DbSession& session, qint64 caseId, const QString& path, const QDate& today)
{
    return writeSheet(session, Format::Xlsx, caseId, path, today);
}
