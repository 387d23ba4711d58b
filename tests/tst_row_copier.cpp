// Rows moved between databases by RowCopier, on the engine of the run: every value arrives exactly as it left,
// whichever way the engine takes many rows at once, and a write it refuses leaves nothing behind.
#include "core/db/db_session.h"
#include "core/db/schema.h"
#include "core/sync/row_copier.h"
#include "support/test_database.h"

#include <QDate>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

namespace {
// Texts that an engine's quoting, an array constant's or a list's separators could get wrong.
QVariantList awkwardTexts()
{
    return {QVariant(QMetaType::fromType<QString>()),
            QStringLiteral(""),
            QStringLiteral("NULL"),
            QStringLiteral("null"),
            QStringLiteral("it's"),
            QStringLiteral("''"),
            QStringLiteral("say \"no\""),
            QStringLiteral("\""),
            QStringLiteral("back\\slash"),
            QStringLiteral("\\"),
            QStringLiteral("\\\""),
            QStringLiteral("ends in \\"),
            QStringLiteral("{braces}"),
            QStringLiteral("{"),
            QStringLiteral("}"),
            QStringLiteral("{\"a\",\"b\"}"),
            QStringLiteral("a,b,c"),
            QStringLiteral(","),
            QStringLiteral("  blanks around  "),
            QStringLiteral(" "),
            QStringLiteral("line\nbreak\r\nand\ttab"),
            QStringLiteral("$1 ? :name %s"),
            QStringLiteral("Ørsted, Überweisung, élève, Straße"),
            QStringLiteral("Закон о договорах"),
            QStringLiteral("Νόμος"),
            QStringLiteral("契約法 ۱۲۳ قانون"),
            QString::fromUtf8("\xF0\x9F\x93\x9C scroll"),
            QStringLiteral("ARRAY[1,2]"),
            QStringLiteral("(1,2)")};
}

// The texts again, numbered after `from`, until `rows` of them.
QVariantList numberedRows(const QVariantList& texts, int rows, int from = 1)
{
    QVariantList values;
    for (int i = 0; i < rows; ++i)
        values << QVariant(from + i) << texts.at(i % texts.size());
    return values;
}

QVariantList readAll(const DbContext& ctx, const QString& select)
{
    DbSession s(ctx);
    QVariantList values;
    Result<QSqlQuery> q = s.query(select);
    if (!q)
        return {q.error().description};
    const int columns = q->record().count();
    while (q->next())
        for (int c = 0; c < columns; ++c)
            values << q->value(c);
    return values;
}

// Equal as the database stores them: null stays null and is no empty text, a date is the same day.
bool sameValues(const QVariantList& expected, const QVariantList& found, QString* why)
{
    if (expected.size() != found.size()) {
        *why = QStringLiteral("%1 values, expected %2").arg(found.size()).arg(expected.size());
        return false;
    }
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const QVariant& e = expected.at(i);
        const QVariant& f = found.at(i);
        bool same = e.isNull() == f.isNull();
        if (same && !e.isNull()) {
            if (e.metaType().id() == QMetaType::QDate)
                same = RowCopier::toDate(f).toDate() == e.toDate();
            else if (e.metaType().id() == QMetaType::Int)
                same = f.toLongLong() == e.toLongLong();
            else
                same = f.toString() == e.toString();
        }
        if (!same) {
            *why = QStringLiteral("value %1: expected [%2]%3, found [%4]%5")
                       .arg(i)
                       .arg(e.toString(), e.isNull() ? QStringLiteral(" (null)") : QString(), f.toString(),
                            f.isNull() ? QStringLiteral(" (null)") : QString());
            return false;
        }
    }
    return true;
}
} // namespace

class TestRowCopier : public QObject
{
    Q_OBJECT

private slots:
    void keepsEveryValue_data();
    void keepsEveryValue();
    void copiesCitationsWithTheirDatesAndNulls();
    void refusesAPartialRow();
    void refusesATextTooLongAndWritesNothing();
};

void TestRowCopier::keepsEveryValue_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("rows");
    // A master list's short names and a long text's table: the engine may take the two in different ways.
    QTest::newRow("names, one page") << QStringLiteral("category_master") << 40;
    QTest::newRow("names, several pages") << QStringLiteral("court_master") << RowCopier::kPageRows * 2 + 7;
    QTest::newRow("long texts, one page") << QStringLiteral("cm_judgment_master") << 40;
    QTest::newRow("long texts, several pages") << QStringLiteral("cm_remarks_master") << RowCopier::kPageRows + 3;
}

void TestRowCopier::keepsEveryValue()
{
    QFETCH(QString, table);
    QFETCH(int, rows);
    LEX_USE_DATABASE(source, true);
    LEX_USE_DATABASE(target, true);
    const TableDef def = Schema::table(table);
    QVariantList texts = awkwardTexts();
    if (def.columns.at(1).maxLength > 255)
        texts << QString(7900, QChar(0x00E9)) << QStringLiteral("\"{\\,}\" ").repeated(1100);
    const QVariantList values = numberedRows(texts, rows);
    {
        DbSession s(source.ctx());
        QVERIFY(!inTransaction(s, [&] { return RowCopier::insert(s, def, values); }));
    }
    const QString select =
        QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY %1").arg(def.columns.at(0).name, def.columns.at(1).name, table);
    QString why;
    QVERIFY2(sameValues(values, readAll(source.ctx(), select), &why), qPrintable(why));

    // And on, page by page, from the first database to the second.
    qint64 copied = 0;
    {
        DbSession from(source.ctx());
        DbSession to(target.ctx());
        const QString pages = QStringLiteral("SELECT %1, %1, %2 FROM %3 WHERE %1 > ? ORDER BY %1 LIMIT %4")
                                  .arg(def.columns.at(0).name, def.columns.at(1).name, table)
                                  .arg(RowCopier::kPageRows);
        QVERIFY(!inTransaction(to, [&] { return RowCopier::copy(from, pages, to, def, &copied); }));
    }
    QCOMPARE(copied, qint64(rows));
    QVERIFY2(sameValues(values, readAll(target.ctx(), select), &why), qPrintable(why));
}

void TestRowCopier::copiesCitationsWithTheirDatesAndNulls()
{
    LEX_USE_DATABASE(source, true);
    LEX_USE_DATABASE(target, true);
    const TableDef cases = Schema::caseTable();
    const QVariantList texts = awkwardTexts();
    const QVariant noNumber(QMetaType::fromType<int>());
    const QVariant noDate(QMetaType::fromType<QDate>());
    QVariantList values;
    for (int i = 0; i < 30; ++i) {
        const QVariant citation = texts.at(i % texts.size());
        values << QVariant(i + 1) << (citation.isNull() ? QVariant(QStringLiteral("c")) : citation) << noNumber
               << texts.at((i + 7) % texts.size());
        for (int k = 0; k < 5; ++k)
            values << noNumber;
        values << (i % 4 == 0 ? noDate : QVariant(QDate(1950 + i, 1 + i % 12, 1 + i % 28)));
    }
    {
        DbSession s(source.ctx());
        QVERIFY(!inTransaction(s, [&] { return RowCopier::insert(s, cases, values); }));
    }
    QStringList names;
    for (const ColumnDef& c : cases.columns)
        names << c.name;
    {
        DbSession from(source.ctx());
        DbSession to(target.ctx());
        const QString pages = QStringLiteral("SELECT case_id, %1 FROM case_master WHERE case_id > ? ORDER BY case_id "
                                             "LIMIT 7")
                                  .arg(names.join(QLatin1Char(',')));
        // Pages shorter than the copier's: the copy ends at the first short page, so this copies 7 rows.
        qint64 copied = 0;
        QVERIFY(!inTransaction(to, [&] { return RowCopier::copy(from, pages, to, cases, &copied); }));
        QCOMPARE(copied, qint64(7));
    }
    const QString select =
        QStringLiteral("SELECT %1 FROM case_master ORDER BY case_id").arg(names.join(QLatin1Char(',')));
    QString why;
    QVERIFY2(sameValues(values, readAll(source.ctx(), select), &why), qPrintable(why));
    QVERIFY2(sameValues(values.mid(0, 7 * cases.columns.size()), readAll(target.ctx(), select), &why), qPrintable(why));
}

void TestRowCopier::refusesAPartialRow()
{
    LEX_USE_DATABASE(db, true);
    DbSession s(db.ctx());
    // Three values for rows of two: the last row would lose a value.
    const Error e =
        RowCopier::insert(s, Schema::table(QStringLiteral("act_master")), {1, QStringLiteral("Contract Act"), 2});
    QVERIFY(e);
    QCOMPARE(db.scalar(QStringLiteral("SELECT COUNT(*) FROM act_master")).toInt(), 0);
}

void TestRowCopier::refusesATextTooLongAndWritesNothing()
{
    if (!TestDatabase::isPostgres())
        QSKIP("the embedded engine keeps a text of any length; the citation store checks the lengths");
    LEX_USE_DATABASE(db, true);
    const TableDef def = Schema::table(QStringLiteral("category_master"));
    QVariantList values = numberedRows(awkwardTexts(), 50);
    values[2 * 37 + 1] = QString(256, QLatin1Char('x'));
    DbSession s(db.ctx());
    const Error e = inTransaction(s, [&] { return RowCopier::insert(s, def, values); });
    QVERIFY(e);
    QCOMPARE(db.scalar(QStringLiteral("SELECT COUNT(*) FROM category_master")).toInt(), 0);
}

QTEST_GUILESS_MAIN(TestRowCopier)
#include "tst_row_copier.moc"
