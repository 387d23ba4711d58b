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
};

const QList<bool> kNewEntry{true, false, false};
const QList<bool> kExistingEntry{false, true, true};

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
    void changesBehindTheScreensBack_data() { listScreens_data(); }
    void changesBehindTheScreensBack();
    void actControlsAndStates();
    void actListFollowsAddModifyDelete();
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

    // Print of an empty list, and Help without the help file.
    int reports = 0;
    s.dialog->setReportHandler([&](MasterKind, QList<QStringList>) { ++reports; });
    s.button(5)->click();
    const MessageBox::Shown none = onlyMessage();
    QCOMPARE(none.text, QStringLiteral("No records are found."));
    QCOMPARE(none.title, QStringLiteral("Lexorium"));
    QCOMPARE(reports, 0);
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

    MasterKind reportedKind = MasterKind::Act;
    QList<QStringList> reported;
    s.dialog->setReportHandler([&](MasterKind k, QList<QStringList> rows) {
        reportedKind = k;
        reported = rows;
        QVERIFY(pointerIsBack());
    });
    s.button(5)->click();
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(reportedKind, kind);
    QCOMPARE(reported, (QList<QStringList>{{QStringLiteral("2"), QStringLiteral("N2")},
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

    // Renaming a row deleted meanwhile writes nothing; the screen shows the table as it is.
    s.pick(QStringLiteral("2"));
    QVERIFY(t.exec(QStringLiteral("DELETE FROM ") + m.table + QStringLiteral(" WHERE id = 2")));
    s.text()->setText(QStringLiteral("Back"));
    s.button(1)->click();
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(tableRows(t, m), (QList<QVariantList>{{1, QStringLiteral("Kept")}}));
    QCOMPARE(s.comboItems(), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    QCOMPARE(s.listColumn(0), QStringList{QStringLiteral("1")});
    QCOMPARE(s.states(0, 1, 2), kNewEntry);

    // Deleting a row deleted meanwhile does the same.
    QVERIFY(insertRow(t, m, 3, QStringLiteral("Late")));
    s.button(0)->click(); // blank name: refused before anything runs
    MessageBox::clearShown();
    QVERIFY(t.exec(QStringLiteral("DELETE FROM ") + m.table + QStringLiteral(" WHERE id = 3")));
    s.pick(QStringLiteral("1"));
    QVERIFY(t.exec(QStringLiteral("DELETE FROM ") + m.table + QStringLiteral(" WHERE id = 1")));
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    s.button(2)->click();
    QCOMPARE(shownTexts().size(), 1); // the question only
    MessageBox::clearShown();
    QVERIFY(tableRows(t, m).isEmpty());
    QCOMPARE(s.comboItems(), QStringList{QStringLiteral("1")});

    // An insert the database refuses (the id was taken meanwhile): the error with its number, the table as it
    // was, and a screen that offers the next id and works.
    QVERIFY(insertRow(t, m, 1, QStringLiteral("Taken")));
    s.text()->setText(QStringLiteral("Mine"));
    s.button(0)->click();
    const MessageBox::Shown failure = onlyMessage();
    QVERIFY(failure.title.startsWith(QStringLiteral("Lexorium - ")));
    QVERIFY(!failure.text.isEmpty());
    QCOMPARE(failure.icon, MessageBox::Icon::Information);
    QVERIFY(pointerIsBack());
    QCOMPARE(tableRows(t, m), (QList<QVariantList>{{1, QStringLiteral("Taken")}}));
    QCOMPARE(s.comboItems(), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    QCOMPARE(s.states(0, 1, 2), kNewEntry);
    s.text()->setText(QStringLiteral("Mine"));
    s.button(0)->click();
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(tableRows(t, m).size(), 2);
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

QTEST_MAIN(TestMasterScreens)
#include "tst_master_screens.moc"
