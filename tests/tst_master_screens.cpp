#include "core/db/db_session.h"
#include "gui/masters/act_screen.h"
#include "gui/masters/category_screen.h"
#include "gui/masters/court_screen.h"
#include "support/gui_test_support.h"
#include "support/test_database.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTabBar>
#include <QTreeWidget>

#include <memory>

Q_DECLARE_METATYPE(MasterKind)

namespace {
const QString kInUse = QStringLiteral("Can not delete selected record as its reference is used in Citation.");

// The controls of one open master screen, found by their names.
struct Screen {
    std::unique_ptr<MasterFormScreen> dialog;
    QString number;

    static Screen open(MasterKind kind, const DbContext& ctx)
    {
        Screen s;
        switch (kind) {
        case MasterKind::Category:
            s.dialog = std::make_unique<CategoryScreen>(ctx);
            s.number = QStringLiteral("0002");
            break;
        case MasterKind::Court:
            s.dialog = std::make_unique<CourtScreen>(ctx);
            s.number = QStringLiteral("0011");
            break;
        case MasterKind::Act:
            s.dialog = std::make_unique<ActScreen>(ctx);
            s.number = QStringLiteral("0003");
            break;
        }
        s.dialog->show();
        return s;
    }

    template <typename T> T* find(const QString& kind, const QString& suffix = QString()) const
    {
        return findOrFail<T>(dialog.get(), kind + number + suffix, __FILE__, __LINE__);
    }
    QComboBox* combo() const { return find<QComboBox>(QStringLiteral("Cbo")); }
    QLineEdit* text() const { return find<QLineEdit>(QStringLiteral("Txt")); }
    QTreeWidget* list() const
    {
        return find<QTreeWidget>(number == QLatin1String("0003") ? QStringLiteral("Lv") : QStringLiteral("LV"));
    }
    QPushButton* button(int index) const
    {
        return find<QPushButton>(QStringLiteral("Cmd"), QStringLiteral("(%1)").arg(index));
    }

    QStringList comboItems() const
    {
        QStringList items;
        for (int i = 0; i < combo()->count(); ++i)
            items << combo()->itemText(i);
        return items;
    }
    QStringList listColumn(int column) const
    {
        QStringList items;
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            items << list()->topLevelItem(i)->text(column);
        return items;
    }
    void pick(const QString& id) const
    {
        const int index = combo()->findText(id);
        QVERIFY2(index >= 0, qPrintable(id));
        combo()->setCurrentIndex(index);
    }
    void clickListItem(int row) const
    {
        QTreeWidgetItem* item = list()->topLevelItem(row);
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(item).center());
    }
    // Add, Modify, Delete enabled.
    QList<bool> states(int add, int modify, int remove) const
    {
        return {button(add)->isEnabled(), button(modify)->isEnabled(), button(remove)->isEnabled()};
    }
    // The index of a button by what it does; the Act screen orders them differently.
    int index(MasterFormScreen::Action action) const
    {
        using A = MasterFormScreen::Action;
        const QList<A> order = number == QLatin1String("0003")
                                   ? QList<A>{A::Close, A::Add, A::Modify, A::Delete, A::Help, A::Print}
                                   : QList<A>{A::Add, A::Modify, A::Delete, A::Close, A::Help, A::Print};
        return int(order.indexOf(action));
    }
    QPushButton* button(MasterFormScreen::Action action) const { return button(index(action)); }
    // Add, Modify, Delete enabled, whatever the screen's order.
    QList<bool> entryStates() const
    {
        using A = MasterFormScreen::Action;
        return states(index(A::Add), index(A::Modify), index(A::Delete));
    }
};

const QList<bool> kNewEntry{true, false, false};
const QList<bool> kExistingEntry{false, true, true};
const QList<bool> kNothing{false, false, false};
using Action = MasterFormScreen::Action;

const char* kindName(MasterKind kind)
{
    return kind == MasterKind::Category ? "category" : kind == MasterKind::Court ? "court" : "act";
}

// The serial number of the next database connection any session opens.
int nextConnectionSerial(const DbContext& ctx)
{
    DbSession probe(ctx);
    return probe.db().connectionName().section(QLatin1Char('-'), -1).toInt() + 1;
}

// Makes every insert into the master table fail inside the engine, with the engine's own error.
bool refuseInserts(const TestDatabase& t, const MasterTable& m)
{
    if (TestDatabase::isPostgres())
        return t.exec(QStringLiteral("CREATE FUNCTION refuse_insert() RETURNS trigger LANGUAGE plpgsql AS "
                                     "$$ BEGIN RAISE EXCEPTION 'refused by trigger'; END $$")) &&
               t.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON %1 FOR EACH ROW "
                                     "EXECUTE FUNCTION refuse_insert()")
                          .arg(m.table));
    return t.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON %1 "
                                 "BEGIN SELECT RAISE(ABORT, 'refused by trigger'); END")
                      .arg(m.table));
}

QList<QVariantList> tableRows(const TestDatabase& t, const MasterTable& m)
{
    DbSession conn(t.ctx());
    QSqlQuery q(conn.db());
    QList<QVariantList> rows;
    if (!q.exec(QStringLiteral("SELECT * FROM ") + m.table))
        return rows;
    while (q.next())
        rows.append({q.value(0).toLongLong(), q.value(1).toString()});
    return rows;
}

bool insertRow(const TestDatabase& t, const MasterTable& m, int id, const QString& name)
{
    return t.exec(QStringLiteral("INSERT INTO %1 (id, %2) VALUES (?, ?)").arg(m.table, m.nameColumn), {id, name});
}

// A citation using master row `id`.
bool linkCitation(const TestDatabase& t, const MasterTable& m, int id)
{
    const bool act = m.kind == MasterKind::Act;
    return t.exec(QStringLiteral("INSERT INTO case_master (case_id, citation) VALUES (1, '2001 SCMR 1')")) &&
           t.exec(QStringLiteral("INSERT INTO %1 (id, %2, cmd_id%3) VALUES (1, ?, 1%4)")
                      .arg(m.linkTable, m.linkColumn, act ? QStringLiteral(", section") : QString(),
                           act ? QStringLiteral(", 's. 5'") : QString()),
                  {id});
}

// The last message shown, and that it was the only one since the last look.
MessageBox::Shown onlyMessage()
{
    const QList<MessageBox::Shown> shown = MessageBox::shown();
    MessageBox::clearShown();
    if (shown.size() != 1) {
        qWarning("expected one message, got: %s", qPrintable(shownTexts().join(QStringLiteral(" | "))));
        return {QString(), QString(), MessageBox::Icon::Critical, MessageBox::Buttons::Ok};
    }
    return shown.first();
}

bool pointerIsBack()
{
    return QGuiApplication::overrideCursor() == nullptr;
}
} // namespace

// Drives the real screens offscreen, on the engine named by LEXORIUM_TEST_ENGINE.
class TestMasterScreens : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void listScreens_data();
    void emptyListAndControls_data() { listScreens_data(); }
    void emptyListAndControls();
    void addRenameAndDuplicates_data() { listScreens_data(); }
    void addRenameAndDuplicates();
    void deleteIsAskedAndRefusedWhileInUse_data() { listScreens_data(); }
    void deleteIsAskedAndRefusedWhileInUse();
    void idsInDatabaseOrderAndListingById_data() { listScreens_data(); }
    void idsInDatabaseOrderAndListingById();
    void changesBehindTheScreensBack_data() { allScreens_data(); }
    void changesBehindTheScreensBack();
    void actControlsAndStates();
    void actListFollowsAddModifyDelete();

    void allScreens_data();
    void opensOneSessionForItsLifetime_data() { allScreens_data(); }
    void opensOneSessionForItsLifetime();
    void failedLoadLeavesOnlyCloseAndHelp_data();
    void failedLoadLeavesOnlyCloseAndHelp();
    void deleteQuestionNamesTheStoredRow_data() { allScreens_data(); }
    void deleteQuestionNamesTheStoredRow();
    void failedWriteKeepsTheTypedName_data() { allScreens_data(); }
    void failedWriteKeepsTheTypedName();
    void namesNoLongerThanTheirColumn_data() { allScreens_data(); }
    void namesNoLongerThanTheirColumn();
};

void TestMasterScreens::init()
{
    MessageBox::setScripted(true);
    MessageBox::clearShown();
}

void TestMasterScreens::listScreens_data()
{
    QTest::addColumn<MasterKind>("kind");
    QTest::newRow("category") << MasterKind::Category;
    QTest::newRow("court") << MasterKind::Court;
}

void TestMasterScreens::allScreens_data()
{
    QTest::addColumn<MasterKind>("kind");
    for (MasterKind kind : {MasterKind::Category, MasterKind::Court, MasterKind::Act})
        QTest::newRow(kindName(kind)) << kind;
}

void TestMasterScreens::emptyListAndControls()
{
    QFETCH(MasterKind, kind);
    LEX_USE_DATABASE(t, true);
    const MasterTable& m = MasterTable::of(kind);
    const Screen s = Screen::open(kind, t.ctx());
    QVERIFY(MessageBox::shown().isEmpty());

    QCOMPARE(s.dialog->windowTitle(), m.caption);
    QCOMPARE(s.find<QTabBar>(QStringLiteral("TS"))->tabText(0), m.caption);
    QVERIFY(s.dialog->findChild<QFrame*>(QStringLiteral("Frm") + s.number));
    QCOMPARE(s.find<QLabel>(QStringLiteral("Lbl"), QStringLiteral("(0)"))->text(), QStringLiteral("Id"));
    QCOMPARE(s.find<QLabel>(QStringLiteral("Lbl"), QStringLiteral("(1)"))->text(), m.nameLabel);
    QCOMPARE(s.list()->headerItem()->text(0), QStringLiteral("Id"));
    QCOMPARE(s.list()->headerItem()->text(1), m.nameLabel);
    QCOMPARE(s.list()->columnWidth(0), 700 / 15);

    const QStringList captions{QStringLiteral("&Add"),
                               QStringLiteral("&Modify"),
                               QStringLiteral("&Delete"),
                               QStringLiteral("&Close"),
                               QString(),
                               QString()};
    const QString noun = kind == MasterKind::Category ? QStringLiteral("Category") : QStringLiteral("Court");
    const QStringList tips{QStringLiteral("Add ") + noun,    QStringLiteral("Modify ") + noun,
                           QStringLiteral("Delete ") + noun, QStringLiteral("Close"),
                           QStringLiteral("Help"),           QStringLiteral("Print")};
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(s.button(i)->text(), captions.at(i));
        QCOMPARE(s.button(i)->toolTip(), tips.at(i));
    }

    // An empty table: only the next free id, new-entry state.
    QCOMPARE(s.comboItems(), QStringList{QStringLiteral("1")});
    QCOMPARE(s.combo()->currentText(), QStringLiteral("1"));
    QCOMPARE(s.list()->topLevelItemCount(), 0);
    QCOMPARE(s.states(0, 1, 2), kNewEntry);

    // Add and Modify refuse a blank name.
    s.text()->setText(QStringLiteral("   "));
    s.button(0)->click();
    QCOMPARE(onlyMessage().text, m.emptyName);
    QVERIFY(tableRows(t, m).isEmpty());

    // Print of an empty list (the preview says so and opens nothing), and Help without the help file.
    s.button(5)->click();
    const MessageBox::Shown none = onlyMessage();
    QCOMPARE(none.text, QStringLiteral("No records are found."));
    QCOMPARE(none.title, QStringLiteral("Lexorium"));
    s.button(4)->click();
    QCOMPARE(onlyMessage().text, QStringLiteral("No help is associated with this topic."));
    int context = 0;
    s.dialog->setHelpHandler([&](QWidget*, const QString& dir, int id) {
        QCOMPARE(dir, t.programDir());
        context = id;
    });
    s.button(4)->click();
    QCOMPARE(context, kind == MasterKind::Category ? 20100 : 110100);
    QVERIFY(pointerIsBack());

    s.button(3)->click();
    QVERIFY(!s.dialog->isVisible());
}

void TestMasterScreens::addRenameAndDuplicates()
{
    QFETCH(MasterKind, kind);
    LEX_USE_DATABASE(t, true);
    const MasterTable& m = MasterTable::of(kind);
    const Screen s = Screen::open(kind, t.ctx());

    // Stored trimmed; the screen returns to a new entry.
    s.text()->setText(QStringLiteral("  Tax  "));
    s.button(0)->click();
    QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(shownTexts().join(QLatin1Char('|'))));
    QCOMPARE(tableRows(t, m), (QList<QVariantList>{{1, QStringLiteral("Tax")}}));
    QCOMPARE(s.comboItems(), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    QCOMPARE(s.combo()->currentText(), QStringLiteral("2"));
    QCOMPARE(s.text()->text(), QString());
    QCOMPARE(s.listColumn(1), QStringList{QStringLiteral("Tax")});
    QCOMPARE(s.states(0, 1, 2), kNewEntry);

    // The name that would be stored is tested, whatever its case; the typed name is lost.
    for (const QString& typed : {QStringLiteral(" Tax"), QStringLiteral("TAX "), QStringLiteral("tax")}) {
        s.text()->setText(typed);
        s.button(0)->click();
        const MessageBox::Shown refused = onlyMessage();
        QCOMPARE(refused.text, m.addDuplicate);
        QCOMPARE(refused.title, QStringLiteral("Lexorium"));
        QCOMPARE(refused.icon, MessageBox::Icon::Information);
        QCOMPARE(s.text()->text(), QString());
        QCOMPARE(s.combo()->currentText(), QStringLiteral("2"));
        QCOMPARE(s.states(0, 1, 2), kNewEntry);
    }
    QCOMPARE(tableRows(t, m).size(), 1);

    // One apostrophe in, one apostrophe stored and shown.
    s.text()->setText(QStringLiteral("Owner's Tax"));
    s.button(0)->click();
    QCOMPARE(t.scalar(QStringLiteral("SELECT %1 FROM %2 WHERE id = 2").arg(m.nameColumn, m.table)).toString(),
             QStringLiteral("Owner's Tax"));
    s.pick(QStringLiteral("2"));
    QCOMPARE(s.text()->text(), QStringLiteral("Owner's Tax"));
    QCOMPARE(s.states(0, 1, 2), kExistingEntry);

    // Renamed to its own name: allowed, focus to Close, new-entry state.
    s.button(1)->click();
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(s.dialog->focusWidget(), s.button(3));
    QCOMPARE(s.combo()->currentText(), QStringLiteral("3"));
    QCOMPARE(s.states(0, 1, 2), kNewEntry);

    // Renamed to another row's name in another case: refused, nothing written.
    s.pick(QStringLiteral("2"));
    s.text()->setText(QStringLiteral(" TAX"));
    s.button(1)->click();
    QCOMPARE(onlyMessage().text, m.modifyDuplicate);
    s.pick(QStringLiteral("1"));
    QCOMPARE(s.text()->text(), QStringLiteral("Tax"));
    s.text()->setText(QStringLiteral(" Income Tax "));
    s.button(1)->click();
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(t.scalar(QStringLiteral("SELECT %1 FROM %2 WHERE id = 1").arg(m.nameColumn, m.table)).toString(),
             QStringLiteral("Income Tax"));
    QCOMPARE(t.scalar(QStringLiteral("SELECT %1 FROM %2 WHERE id = 2").arg(m.nameColumn, m.table)).toString(),
             QStringLiteral("Owner's Tax"));
    QVERIFY(s.listColumn(1).contains(QStringLiteral("Income Tax")));

    s.pick(QStringLiteral("1"));
    s.text()->clear();
    s.button(1)->click();
    QCOMPARE(onlyMessage().text, m.emptyName);

    // Picking the last id is a new entry again.
    s.pick(QStringLiteral("3"));
    QCOMPARE(s.states(0, 1, 2), kNewEntry);
    QVERIFY(pointerIsBack());
}

void TestMasterScreens::deleteIsAskedAndRefusedWhileInUse()
{
    QFETCH(MasterKind, kind);
    LEX_USE_DATABASE(t, true);
    const MasterTable& m = MasterTable::of(kind);
    QVERIFY(insertRow(t, m, 1, QStringLiteral("Used")));
    QVERIFY(insertRow(t, m, 2, QStringLiteral("Free")));
    QVERIFY(linkCitation(t, m, 1));
    const Screen s = Screen::open(kind, t.ctx());

    // A click on the list picks its row.
    const int usedRow = s.listColumn(0).indexOf(QStringLiteral("1"));
    s.clickListItem(usedRow);
    QCOMPARE(s.combo()->currentText(), QStringLiteral("1"));
    QCOMPARE(s.text()->text(), QStringLiteral("Used"));
    QCOMPARE(s.states(0, 1, 2), kExistingEntry);

    // No: nothing happens.
    MessageBox::setNextAnswer(MessageBox::Answer::No);
    s.button(2)->click();
    const MessageBox::Shown asked = onlyMessage();
    QCOMPARE(asked.text, QStringLiteral("Do you want to delete 'Used") + m.deleteQuestionEnd);
    QCOMPARE(asked.title, QStringLiteral("Lexorium"));
    QCOMPARE(asked.icon, MessageBox::Icon::Question);
    QCOMPARE(asked.buttons, MessageBox::Buttons::YesNo);
    QCOMPARE(asked.defaultButton, MessageBox::Answer::No);
    QCOMPARE(tableRows(t, m).size(), 2);
    QCOMPARE(s.states(0, 1, 2), kExistingEntry);

    // Yes on a row a citation uses: refused.
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(2)->click();
    QCOMPARE(shownTexts().value(1), kInUse);
    MessageBox::clearShown();
    QCOMPARE(tableRows(t, m).size(), 2);
    QCOMPARE(s.combo()->currentText(), QStringLiteral("3"));
    QCOMPARE(s.states(0, 1, 2), kNewEntry);

    // Yes on a free row: gone, and its id is the next free one again.
    s.pick(QStringLiteral("2"));
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(2)->click();
    QCOMPARE(shownTexts(), QStringList{QStringLiteral("Do you want to delete 'Free") + m.deleteQuestionEnd});
    QCOMPARE(tableRows(t, m), (QList<QVariantList>{{1, QStringLiteral("Used")}}));
    QCOMPARE(s.comboItems(), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    QCOMPARE(s.listColumn(1), QStringList{QStringLiteral("Used")});
    QCOMPARE(s.dialog->focusWidget(), s.button(3));
    QVERIFY(pointerIsBack());
}

void TestMasterScreens::idsInDatabaseOrderAndListingById()
{
    QFETCH(MasterKind, kind);
    LEX_USE_DATABASE(t, true);
    const MasterTable& m = MasterTable::of(kind);
    for (int id : {5, 2, 9})
        QVERIFY(insertRow(t, m, id, QStringLiteral("N%1").arg(id)));
    QStringList databaseOrder;
    for (const QVariantList& row : tableRows(t, m))
        databaseOrder << row.at(0).toString();
    const Screen s = Screen::open(kind, t.ctx());

    QCOMPARE(s.listColumn(0), databaseOrder);
    QCOMPARE(s.comboItems(), databaseOrder + QStringList{QStringLiteral("10")});

    ListingReportData reported;
    bool pointerBackWhenShown = false;
    s.dialog->setReportHandler([&](const ListingReportData& data) {
        reported = data;
        pointerBackWhenShown = pointerIsBack();
    });
    s.dialog->setClock([] { return QDate(2026, 12, 8); });
    s.button(5)->click();
    QVERIFY(MessageBox::shown().isEmpty());
    QVERIFY(pointerBackWhenShown);
    QCOMPARE(reported.caption, m.kind == MasterKind::Court ? QStringLiteral("Court Name Listing Report")
                                                           : QStringLiteral("Category Listing Report"));
    QCOMPARE(reported.date, QDate(2026, 12, 8));
    QCOMPARE(reported.rows, (QList<QStringList>{{QStringLiteral("2"), QStringLiteral("N2")},
                                                {QStringLiteral("5"), QStringLiteral("N5")},
                                                {QStringLiteral("9"), QStringLiteral("N9")}}));
}

void TestMasterScreens::changesBehindTheScreensBack()
{
    QFETCH(MasterKind, kind);
    LEX_USE_DATABASE(t, true);
    const MasterTable& m = MasterTable::of(kind);
    QVERIFY(insertRow(t, m, 1, QStringLiteral("Kept")));
    QVERIFY(insertRow(t, m, 2, QStringLiteral("Gone")));
    const Screen s = Screen::open(kind, t.ctx());

    // Renaming a row deleted meanwhile writes nothing, says so, and shows the table as it is.
    s.pick(QStringLiteral("2"));
    QVERIFY(t.exec(QStringLiteral("DELETE FROM ") + m.table + QStringLiteral(" WHERE id = 2")));
    s.text()->setText(QStringLiteral("Back"));
    s.button(Action::Modify)->click();
    const MessageBox::Shown renamed = onlyMessage();
    QCOMPARE(renamed.text, MasterFormScreen::recordGoneMessage());
    QCOMPARE(renamed.title, QStringLiteral("Lexorium"));
    QCOMPARE(tableRows(t, m), (QList<QVariantList>{{1, QStringLiteral("Kept")}}));
    QCOMPARE(s.comboItems(), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    QCOMPARE(s.listColumn(0), QStringList{QStringLiteral("1")});
    QCOMPARE(s.entryStates(), kNewEntry);

    // Deleting a row deleted meanwhile: nothing to ask about; said, and reloaded.
    s.pick(QStringLiteral("1"));
    QVERIFY(t.exec(QStringLiteral("DELETE FROM ") + m.table + QStringLiteral(" WHERE id = 1")));
    QVERIFY(insertRow(t, m, 3, QStringLiteral("Late")));
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(Action::Delete)->click();
    QCOMPARE(shownTexts(), QStringList{MasterFormScreen::recordGoneMessage()});
    MessageBox::clearShown();
    QCOMPARE(tableRows(t, m), (QList<QVariantList>{{3, QStringLiteral("Late")}}));
    QCOMPARE(s.comboItems(), (QStringList{QStringLiteral("3"), QStringLiteral("4")}));
    QCOMPARE(s.listColumn(1), QStringList{QStringLiteral("Late")});
    QCOMPARE(s.entryStates(), kNewEntry);

    // The proposed id was taken meanwhile: the row goes under the next free key instead, and nothing is lost.
    QVERIFY(insertRow(t, m, 4, QStringLiteral("Taken")));
    s.text()->setText(QStringLiteral("Mine"));
    s.button(Action::Add)->click();
    QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(shownTexts().join(QLatin1Char('|'))));
    QCOMPARE(
        tableRows(t, m),
        (QList<QVariantList>{{3, QStringLiteral("Late")}, {4, QStringLiteral("Taken")}, {5, QStringLiteral("Mine")}}));
    QCOMPARE(s.comboItems(),
             (QStringList{QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6")}));
    QCOMPARE(s.entryStates(), kNewEntry);
    QVERIFY(pointerIsBack());
}

void TestMasterScreens::actControlsAndStates()
{
    LEX_USE_DATABASE(t, true);
    const Screen s = Screen::open(MasterKind::Act, t.ctx());
    QCOMPARE(s.dialog->windowTitle(), QStringLiteral("Act"));
    QCOMPARE(s.find<QTabBar>(QStringLiteral("TS"))->tabText(0), QStringLiteral("Act"));
    QVERIFY(s.dialog->findChild<QFrame*>(QStringLiteral("Fra0003")));
    QCOMPARE(s.list()->headerItem()->text(1), QStringLiteral("Act"));
    const QStringList captions{QStringLiteral("&Close"),
                               QStringLiteral("&Add"),
                               QStringLiteral("&Modify"),
                               QStringLiteral("&Delete"),
                               QString(),
                               QString()};
    const QStringList tips{QStringLiteral("Close"),      QStringLiteral("Add Act"), QStringLiteral("Modify Act"),
                           QStringLiteral("Delete Act"), QStringLiteral("Help"),    QStringLiteral("Print")};
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(s.button(i)->text(), captions.at(i));
        QCOMPARE(s.button(i)->toolTip(), tips.at(i));
    }
    QCOMPARE(s.comboItems(), QStringList{QStringLiteral("1")});
    QCOMPARE(s.states(1, 2, 3), kNewEntry);

    s.button(1)->click();
    QCOMPARE(onlyMessage().text, QStringLiteral("Please enter the Act name"));
    s.text()->setText(QStringLiteral(" Contract Act "));
    s.button(1)->click();
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(s.dialog->focusWidget(), s.text());
    s.text()->setText(QStringLiteral("contract act"));
    s.button(1)->click();
    QCOMPARE(onlyMessage().text, QStringLiteral("Act already exists."));
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM act_master")).toInt(), 1);

    // The state follows the combo's position: the last entry is the new one.
    s.pick(QStringLiteral("1"));
    QCOMPARE(s.text()->text(), QStringLiteral("Contract Act"));
    QCOMPARE(s.states(1, 2, 3), kExistingEntry);
    s.pick(QStringLiteral("2"));
    QCOMPARE(s.text()->text(), QString());
    QCOMPARE(s.states(1, 2, 3), kNewEntry);

    int context = 0;
    s.dialog->setHelpHandler([&](QWidget*, const QString&, int id) { context = id; });
    s.button(4)->click();
    QCOMPARE(context, 30100);
    s.button(0)->click();
    QVERIFY(!s.dialog->isVisible());
    QVERIFY(pointerIsBack());
}

void TestMasterScreens::actListFollowsAddModifyDelete()
{
    LEX_USE_DATABASE(t, true);
    const MasterTable& m = MasterTable::of(MasterKind::Act);
    QVERIFY(insertRow(t, m, 1, QStringLiteral("Penal Code")));
    QVERIFY(linkCitation(t, m, 1));
    const Screen s = Screen::open(MasterKind::Act, t.ctx());
    QCOMPARE(s.listColumn(1), QStringList{QStringLiteral("Penal Code")});
    QCOMPARE(s.list()->topLevelItem(0)->data(0, Qt::UserRole).toLongLong(), 1);

    // Add: the list gains the row at once.
    s.text()->setText(QStringLiteral("Evidence Act"));
    s.button(1)->click();
    QCOMPARE(s.listColumn(0), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    QCOMPARE(s.comboItems(), (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));

    // Modify: picked from the list, renamed, the list shows the new name.
    s.clickListItem(s.listColumn(0).indexOf(QStringLiteral("2")));
    QCOMPARE(s.combo()->currentText(), QStringLiteral("2"));
    QCOMPARE(s.text()->text(), QStringLiteral("Evidence Act"));
    QCOMPARE(s.states(1, 2, 3), kExistingEntry);
    s.text()->setText(QStringLiteral("PENAL CODE"));
    s.button(2)->click();
    QCOMPARE(onlyMessage().text, QStringLiteral("Act already exists."));
    s.pick(QStringLiteral("2"));
    s.text()->setText(QStringLiteral("Qanun-e-Shahadat Order"));
    s.button(2)->click();
    QVERIFY(MessageBox::shown().isEmpty());
    QVERIFY(s.listColumn(1).contains(QStringLiteral("Qanun-e-Shahadat Order")));
    QCOMPARE(s.dialog->focusWidget(), s.button(0));
    QCOMPARE(s.combo()->currentText(), QStringLiteral("3"));
    QCOMPARE(s.states(1, 2, 3), kNewEntry);

    // A refused delete leaves the list and the combo as they were.
    s.pick(QStringLiteral("1"));
    const QStringList comboBefore = s.comboItems();
    const QStringList listBefore = s.listColumn(0);
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(3)->click();
    QCOMPARE(shownTexts(), (QStringList{QStringLiteral("Do you want to delete 'Penal Code' act?"), kInUse}));
    MessageBox::clearShown();
    QCOMPARE(s.comboItems(), comboBefore);
    QCOMPARE(s.listColumn(0), listBefore);
    QCOMPARE(s.combo()->currentText(), QStringLiteral("1"));
    QCOMPARE(s.states(1, 2, 3), kExistingEntry);

    // A delete drops the row from the list; the combo lists the rest, then the next free id.
    s.pick(QStringLiteral("2"));
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(3)->click();
    QCOMPARE(shownTexts(), QStringList{QStringLiteral("Do you want to delete 'Qanun-e-Shahadat Order' act?")});
    QCOMPARE(s.listColumn(0), QStringList{QStringLiteral("1")});
    QCOMPARE(s.comboItems(), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    QCOMPARE(s.states(1, 2, 3), kNewEntry);
    QCOMPARE(tableRows(t, m), (QList<QVariantList>{{1, QStringLiteral("Penal Code")}}));
    QVERIFY(pointerIsBack());
}

void TestMasterScreens::opensOneSessionForItsLifetime()
{
    QFETCH(MasterKind, kind);
    LEX_USE_DATABASE(t, true);
    const MasterTable& m = MasterTable::of(kind);
    QVERIFY(insertRow(t, m, 1, QStringLiteral("First")));
    const int before = nextConnectionSerial(t.ctx());
    {
        const Screen s = Screen::open(kind, t.ctx());
        QVERIFY(s.dialog->session().isOpen());
        s.text()->setText(QStringLiteral("Second"));
        s.button(Action::Add)->click();
        s.pick(QStringLiteral("2"));
        s.text()->setText(QStringLiteral("Second Renamed"));
        s.button(Action::Modify)->click();
        s.pick(QStringLiteral("2"));
        MessageBox::setNextAnswer(MessageBox::Answer::Yes);
        s.button(Action::Delete)->click();
        s.dialog->setReportHandler([](const ListingReportData&) {});
        s.button(Action::Print)->click();
        QCOMPARE(shownTexts(),
                 QStringList{QStringLiteral("Do you want to delete 'Second Renamed") + m.deleteQuestionEnd});
    }
    // Opening, adding, renaming, deleting and printing logged in once: the screen's own connection (the other
    // one counted is the probe's).
    QCOMPARE(nextConnectionSerial(t.ctx()) - before, 2);
    QCOMPARE(tableRows(t, m), (QList<QVariantList>{{1, QStringLiteral("First")}}));
}

void TestMasterScreens::failedLoadLeavesOnlyCloseAndHelp_data()
{
    QTest::addColumn<MasterKind>("kind");
    QTest::addColumn<QString>("cause");
    for (MasterKind kind : {MasterKind::Category, MasterKind::Court, MasterKind::Act}) {
        QTest::addRow("%s, no database", kindName(kind)) << kind << QStringLiteral("no database");
        QTest::addRow("%s, table away", kindName(kind)) << kind << QStringLiteral("table away");
        QTest::addRow("%s, file locked", kindName(kind)) << kind << QStringLiteral("file locked");
    }
}

void TestMasterScreens::failedLoadLeavesOnlyCloseAndHelp()
{
    QFETCH(MasterKind, kind);
    QFETCH(QString, cause);
    if (cause == QLatin1String("file locked") && TestDatabase::isPostgres())
        QSKIP("a server holds no file another program could lock");
    LEX_USE_DATABASE(t, true);
    const MasterTable& m = MasterTable::of(kind);
    const QString away = m.table + QStringLiteral("_away");
    DbContext ctx = t.ctx();
    std::unique_ptr<DbSession> locker;
    if (cause == QLatin1String("no database")) {
        ctx.connection.database += QStringLiteral("_missing");
    } else if (cause == QLatin1String("table away")) {
        QVERIFY(t.exec(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(m.table, away)));
    } else {
        // Another program holds the file: even reading waits out the busy time-out, then fails.
        locker = std::make_unique<DbSession>(t.ctx());
        QVERIFY(locker->execute(QStringLiteral("BEGIN EXCLUSIVE")).ok());
    }

    const Screen s = Screen::open(kind, ctx);
    const MessageBox::Shown failure = onlyMessage();
    QVERIFY(!failure.text.isEmpty());
    QCOMPARE(failure.title, QStringLiteral("Lexorium"));
    QVERIFY(pointerIsBack());
    QVERIFY(!s.dialog->isLoaded());
    QCOMPARE(s.entryStates(), kNothing);
    QVERIFY(!s.button(Action::Print)->isEnabled());
    QVERIFY(s.button(Action::Close)->isEnabled());
    QVERIFY(s.button(Action::Help)->isEnabled());
    QVERIFY(!s.combo()->isEnabled());
    QVERIFY(!s.text()->isEnabled());

    // The database comes back, with a row under a key the screen never read.
    if (cause == QLatin1String("table away"))
        QVERIFY(t.exec(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(away, m.table)));
    if (locker)
        QVERIFY(locker->execute(QStringLiteral("ROLLBACK")).ok());
    locker.reset();
    QVERIFY(insertRow(t, m, 0, QStringLiteral("Zero")));
    QVERIFY(insertRow(t, m, 4, QStringLiteral("Four")));

    // Even driven directly, nothing is written, deleted or printed; no question is asked.
    int reports = 0;
    s.dialog->setReportHandler([&](const ListingReportData&) { ++reports; });
    s.text()->setText(QStringLiteral("Typed"));
    for (void (MasterFormScreen::*clicked)() :
         {&MasterFormScreen::onAddClicked, &MasterFormScreen::onModifyClicked, &MasterFormScreen::onDeleteClicked,
          &MasterFormScreen::onPrintClicked}) {
        MessageBox::setNextAnswer(MessageBox::Answer::Yes);
        (s.dialog.get()->*clicked)();
    }
    s.combo()->setCurrentIndex(-1);
    s.dialog->onIdChosen();
    s.dialog->onListClicked();
    QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(shownTexts().join(QLatin1Char('|'))));
    QCOMPARE(reports, 0);
    QCOMPARE(tableRows(t, m).size(), 2);
    QCOMPARE(t.scalar(QStringLiteral("SELECT %1 FROM %2 WHERE id = 0").arg(m.nameColumn, m.table)).toString(),
             QStringLiteral("Zero"));
    QCOMPARE(s.entryStates(), kNothing);

    s.button(Action::Close)->click();
    QVERIFY(!s.dialog->isVisible());
}

void TestMasterScreens::deleteQuestionNamesTheStoredRow()
{
    QFETCH(MasterKind, kind);
    LEX_USE_DATABASE(t, true);
    const MasterTable& m = MasterTable::of(kind);
    QVERIFY(insertRow(t, m, 4, QStringLiteral("Stored Name")));
    QVERIFY(insertRow(t, m, 6, QStringLiteral("Neighbour")));
    const Screen s = Screen::open(kind, t.ctx());

    s.pick(QStringLiteral("4"));
    s.text()->setText(QStringLiteral("Nonexistent thing"));
    MessageBox::setNextAnswer(MessageBox::Answer::No);
    s.button(Action::Delete)->click();
    const MessageBox::Shown asked = onlyMessage();
    QCOMPARE(asked.text, QStringLiteral("Do you want to delete 'Stored Name") + m.deleteQuestionEnd);
    // Enter answers No: the row stays.
    QCOMPARE(asked.defaultButton, MessageBox::Answer::No);
    QCOMPARE(tableRows(t, m).size(), 2);

    // Renamed by someone else after the pick: the question names what is stored now.
    QVERIFY(t.exec(QStringLiteral("UPDATE %1 SET %2 = 'Renamed Elsewhere' WHERE id = 4").arg(m.table, m.nameColumn)));
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(Action::Delete)->click();
    QCOMPARE(onlyMessage().text, QStringLiteral("Do you want to delete 'Renamed Elsewhere") + m.deleteQuestionEnd);
    QCOMPARE(tableRows(t, m), (QList<QVariantList>{{6, QStringLiteral("Neighbour")}}));
}

void TestMasterScreens::failedWriteKeepsTheTypedName()
{
    QFETCH(MasterKind, kind);
    LEX_USE_DATABASE(t, true);
    const MasterTable& m = MasterTable::of(kind);
    QVERIFY(insertRow(t, m, 1, QStringLiteral("Existing")));
    const Screen s = Screen::open(kind, t.ctx());

    // A failure without an error number is titled with the program's name alone.
    s.dialog->session().failNextStatementContaining(QStringLiteral("INSERT INTO"));
    s.text()->setText(QStringLiteral("Typed Name"));
    s.button(Action::Add)->click();
    const MessageBox::Shown injected = onlyMessage();
    QCOMPARE(injected.title, QStringLiteral("Lexorium"));
    QVERIFY2(injected.text.contains(QLatin1String("INSERT INTO")), qPrintable(injected.text));
    QCOMPARE(s.text()->text(), QStringLiteral("Typed Name"));
    QCOMPARE(tableRows(t, m).size(), 1);
    QVERIFY(pointerIsBack());

    // The same for a rename; the screen stays on the row.
    s.pick(QStringLiteral("1"));
    s.dialog->session().failNextStatementContaining(QStringLiteral("UPDATE"));
    s.text()->setText(QStringLiteral("Renamed"));
    s.button(Action::Modify)->click();
    QCOMPARE(onlyMessage().title, QStringLiteral("Lexorium"));
    QCOMPARE(s.text()->text(), QStringLiteral("Renamed"));
    QCOMPARE(s.combo()->currentText(), QStringLiteral("1"));
    QCOMPARE(s.entryStates(), kExistingEntry);
    QCOMPARE(tableRows(t, m), (QList<QVariantList>{{1, QStringLiteral("Existing")}}));

    // The engine refuses: its own words, titled with its error number.
    QVERIFY(refuseInserts(t, m));
    s.pick(QStringLiteral("2"));
    s.text()->setText(QStringLiteral("Refused"));
    s.button(Action::Add)->click();
    const MessageBox::Shown engine = onlyMessage();
    QVERIFY2(engine.text.contains(QLatin1String("refused by trigger")), qPrintable(engine.text));
    QVERIFY2(engine.title.startsWith(QStringLiteral("Lexorium - ")) && engine.title.size() > 11,
             qPrintable(engine.title));
    QCOMPARE(s.text()->text(), QStringLiteral("Refused"));

    // Nothing is stuck: once the engine accepts again, the same screen writes.
    QVERIFY(t.exec(TestDatabase::isPostgres() ? QStringLiteral("DROP TRIGGER refuse ON ") + m.table
                                              : QStringLiteral("DROP TRIGGER refuse")));
    s.button(Action::Add)->click();
    QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(shownTexts().join(QLatin1Char('|'))));
    QCOMPARE(tableRows(t, m).size(), 2);
    QCOMPARE(s.text()->text(), QString());
}

void TestMasterScreens::namesNoLongerThanTheirColumn()
{
    QFETCH(MasterKind, kind);
    LEX_USE_DATABASE(t, true);
    const MasterTable& m = MasterTable::of(kind);
    const int column = kind == MasterKind::Court ? 100 : 255;
    const Screen s = Screen::open(kind, t.ctx());
    QCOMPARE(s.text()->maxLength(), column);

    // Typing past the end keeps the name at the column's length, and that name is stored.
    s.text()->setFocus();
    QTest::keyClicks(s.text(), QString(column + 5, QLatin1Char('n')));
    QCOMPARE(s.text()->text().size(), column);
    s.button(Action::Add)->click();
    QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(shownTexts().join(QLatin1Char('|'))));
    QCOMPARE(tableRows(t, m), (QList<QVariantList>{{1, QString(column, QLatin1Char('n'))}}));
}

QTEST_MAIN(TestMasterScreens)
#include "tst_master_screens.moc"
