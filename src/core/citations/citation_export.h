#pragma once

#include "core/citations/sheet.h"
#include "core/util/error.h"
#include "core/util/result.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

class DbSession;

// One Act an exported citation applies, with the section text stored beside the link.
struct ExportedAct {
    QString act;
    QString section;

    bool operator==(const ExportedAct& o) const { return act == o.act && section == o.section; }
};

// What an export tells about one stored citation: its row, its six texts as stored, and its lists by name in
// the order they were entered.
struct CitationReport {
    QString citation;
    QString judgment;
    QString caseTitle;
    QDate judgmentDate; // the first of its month; invalid when none is stored
    QString factSummary;
    QString natureOfCase;
    QString issue;
    QString ruleOfLaw;
    QString remarks;
    QStringList courts;
    QStringList categories;
    QList<ExportedAct> acts;
    QStringList bench;
};

// Writes one stored citation to a file the user chose: a plain-text report, an .xls or an .xlsx workbook of one
// sheet. Each file is finished beside its name and only then renamed over it, so a failed export leaves whatever
// was there before, and a citation that is not stored whole writes nothing at all. Today's date is the caller's.
class CitationExport
{
public:
    enum class Format { Text, Xls, Xlsx };

    // The save dialog's filters, and all three joined in Qt's ";;" form.
    static QString textFilter();
    static QString xlsFilter();
    static QString xlsxFilter();
    static QString dialogFilter();

    // The format a chosen name is written in: by its ending when it is .txt, .xls or .xlsx (in any case),
    // otherwise by the filter the user picked, otherwise .xls.
    static Format formatFor(const QString& fileName, const QString& selectedFilter = QString());
    // The name as chosen, with the ending of the chosen filter when it has none of the three (.txt without one).
    static QString withEnding(const QString& fileName, const QString& selectedFilter);

    // Writes the citation in the format; an error, and no file touched, when it cannot.
    static Error write(DbSession& session, Format format, qint64 caseId, const QString& path, const QDate& today);
    static Error writeText(DbSession& session, qint64 caseId, const QString& path, const QDate& today);
    static Error writeXls(DbSession& session, qint64 caseId, const QString& path, const QDate& today);
    static Error writeXlsx(DbSession& session, qint64 caseId, const QString& path, const QDate& today);

    // The stored citation as the store loads it, or an error when it is not stored or one of its six texts is
    // missing.
    static Result<CitationReport> read(DbSession& session, qint64 caseId);
    // The text report's bytes: UTF-8, lines ended by CR LF.
    static QByteArray text(const CitationReport& report, const QDate& today);
    // The workbook's one sheet: bold headings down the first column, each value in a cell of its own beside them.
    static Sheet sheet(const CitationReport& report, const QDate& today);

    static QString notStoredMessage(qint64 caseId);
};
