#include "core/transfer/csl_json_mapping.h"

#include "core/transfer/transfer_columns.h"

#include <QJsonArray>

const QString CslJsonMapping::kLegalCase = QStringLiteral("legal_case");

namespace {
const QString kCustom = QStringLiteral("custom");
const QString kOwn = QStringLiteral("lexorium");

// The long texts other than the remarks, by the names the columns of CSV have.
const std::array<std::pair<Citation::Text, const char*>, 5> kOwnTexts{{
    {Citation::Judgment, "judgment"},
    {Citation::NatureOfCase, "nature_of_case"},
    {Citation::FactSummary, "fact_summary"},
    {Citation::Issue, "issue"},
    {Citation::RuleOfLaw, "rule_of_law"},
}};

// A CSL value that may be written as text or as a number.
QString textOf(const QJsonValue& v)
{
    if (v.isString())
        return v.toString();
    if (v.isDouble())
        return QString::number(v.toDouble(), 'g', 15);
    return QString();
}

QStringList textsOf(const QJsonValue& v)
{
    QStringList list;
    for (const QJsonValue& item : v.toArray())
        if (!textOf(item).trimmed().isEmpty())
            list << textOf(item).trimmed();
    return list;
}

// A CSL date: {"date-parts": [[year, month, day]]}, or a "raw" or "literal" text of the CSV form.
QDate dateOf(const QJsonValue& issued, QString* problem)
{
    if (issued.isUndefined() || issued.isNull())
        return {};
    const QJsonObject o = issued.toObject();
    const QJsonArray parts = o.value(QStringLiteral("date-parts")).toArray().at(0).toArray();
    if (!parts.isEmpty()) {
        int numbers[3] = {0, 0, 1};
        for (int i = 0; i < 3 && i < parts.size(); ++i) {
            bool ok = false;
            numbers[i] = textOf(parts.at(i)).toInt(&ok);
            if (!ok)
                numbers[i] = -1;
        }
        if (parts.size() < 2) {
            *problem = QStringLiteral("the date of judgment names no month.");
            return {};
        }
        const QDate date(numbers[0], numbers[1], numbers[2]);
        if (!date.isValid())
            *problem = QStringLiteral("the date of judgment is not a date.");
        return date;
    }
    for (const QString& key : {QStringLiteral("raw"), QStringLiteral("literal")}) {
        const QString text = o.value(key).toString();
        if (text.isEmpty())
            continue;
        bool ok = false;
        const QDate date = TransferColumns::parseDate(text, &ok);
        if (!ok)
            *problem = QStringLiteral("the date \"%1\" is not a date of the form yyyy-mm-dd or yyyy-mm.").arg(text);
        return date;
    }
    *problem = QStringLiteral("the date of judgment is not a date.");
    return {};
}
} // namespace

TransferRecord CslJsonMapping::record(const QJsonObject& item, qint64 place)
{
    TransferRecord r;
    r.place = place;
    const QString type = item.value(QStringLiteral("type")).toString();
    if (type != kLegalCase) {
        r.leftOutWhy = type.isEmpty()
                           ? QStringLiteral("left out: the item has no type.")
                           : QStringLiteral("left out: the item is of type \"%1\", not %2.").arg(type, kLegalCase);
        return r;
    }
    r.caseTitle = textOf(item.value(QStringLiteral("title")));
    const QStringList parts{textOf(item.value(QStringLiteral("container-title"))),
                            textOf(item.value(QStringLiteral("volume"))), textOf(item.value(QStringLiteral("page")))};
    QStringList present;
    for (const QString& p : parts)
        if (!p.trimmed().isEmpty())
            present << p.trimmed();
    r.citation = present.isEmpty() ? textOf(item.value(QStringLiteral("number"))) : present.join(QLatin1Char(' '));
    r.judgmentDate = dateOf(item.value(QStringLiteral("issued")), &r.problem);
    QStringList remarks;
    for (const QString& key : {QStringLiteral("note"), QStringLiteral("abstract")})
        if (!textOf(item.value(key)).isEmpty())
            remarks << textOf(item.value(key));
    r.texts[Citation::Remarks] = remarks.join(QStringLiteral("\n\n"));
    r.courts = TransferColumns::splitList(textOf(item.value(QStringLiteral("authority"))));

    const QJsonObject own = item.value(kCustom).toObject().value(kOwn).toObject();
    if (!own.isEmpty()) {
        for (const auto& [text, name] : kOwnTexts)
            r.texts[text] = textOf(own.value(QLatin1String(name)));
        if (own.contains(QStringLiteral("remarks")))
            r.texts[Citation::Remarks] = textOf(own.value(QStringLiteral("remarks")));
        if (own.contains(QStringLiteral("courts")))
            r.courts = textsOf(own.value(QStringLiteral("courts")));
        r.categories = textsOf(own.value(QStringLiteral("categories")));
        r.bench = textsOf(own.value(QStringLiteral("bench")));
        for (const QJsonValue& a : own.value(QStringLiteral("acts")).toArray()) {
            const QJsonObject act = a.toObject();
            TransferAct parsed{textOf(act.value(QStringLiteral("act"))).trimmed(),
                               textOf(act.value(QStringLiteral("section"))).trimmed()};
            if (parsed.name.isEmpty() && r.problem.isEmpty())
                r.problem = QStringLiteral("an Act has no name.");
            r.acts << parsed;
        }
    }
    return r;
}

QJsonObject CslJsonMapping::item(const TransferRecord& r, qint64 id)
{
    QJsonObject item;
    item.insert(QStringLiteral("id"), QString::number(id));
    item.insert(QStringLiteral("type"), kLegalCase);
    // The whole citation as one text: splitting it into report, volume and page would not give it back.
    item.insert(QStringLiteral("number"), r.citation);
    if (!r.caseTitle.isEmpty())
        item.insert(QStringLiteral("title"), r.caseTitle);
    if (!r.courts.isEmpty())
        item.insert(QStringLiteral("authority"), r.courts.join(QStringLiteral("; ")));
    if (r.judgmentDate.isValid())
        item.insert(
            QStringLiteral("issued"),
            QJsonObject{{QStringLiteral("date-parts"),
                         QJsonArray{QJsonArray{r.judgmentDate.year(), r.judgmentDate.month(), r.judgmentDate.day()}}}});
    if (!r.texts[Citation::Remarks].isEmpty())
        item.insert(QStringLiteral("note"), r.texts[Citation::Remarks]);

    QJsonObject own;
    for (const auto& [text, name] : kOwnTexts)
        own.insert(QLatin1String(name), r.texts[text]);
    own.insert(QStringLiteral("remarks"), r.texts[Citation::Remarks]);
    own.insert(QStringLiteral("categories"), QJsonArray::fromStringList(r.categories));
    own.insert(QStringLiteral("courts"), QJsonArray::fromStringList(r.courts));
    QJsonArray acts;
    for (const TransferAct& act : r.acts)
        acts.append(QJsonObject{{QStringLiteral("act"), act.name}, {QStringLiteral("section"), act.section}});
    own.insert(QStringLiteral("acts"), acts);
    own.insert(QStringLiteral("bench"), QJsonArray::fromStringList(r.bench));
    item.insert(kCustom, QJsonObject{{kOwn, own}});
    return item;
}
