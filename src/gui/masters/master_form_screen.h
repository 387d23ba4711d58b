#pragma once

#include "core/db/db_context.h"
#include "core/db/db_session.h"
#include "core/masters/master_store.h"
#include "gui/common/chelp.h"
#include "gui/masters/master_screen_hooks.h"

#include <QDialog>
#include <QList>

#include <functional>
#include <optional>

class QComboBox;
class QFrame;
class QLayout;
class QLineEdit;
class QPushButton;
class QTabBar;
class QTreeWidget;
class QTreeWidgetItem;

// What every master screen has and does: a tab with the list's name, a frame with the id combo and the name box,
// the list of rows and a row of six buttons ("Cmd0002(0)".."Cmd0002(5)"), one database session for as long as the
// screen is open, and the Add, Modify and Delete actions. The screens built on it choose the buttons' order and
// how their list and combo are kept in step after a change.
//
// The id combo lists the ids read from the table and ends in the proposed next id. Only an id read from the table
// is ever modified or deleted; Add takes its own key. When the screen cannot read its table it keeps nothing it
// could write from: only Close and Help stay usable.
class MasterFormScreen : public QDialog
{
    Q_OBJECT

public:
    // connectButton gives each its slot, in this order.
    enum class Action { Close, Add, Modify, Delete, Help, Print };

    void setHelpHandler(MasterScreenHooks::HelpHandler handler) { m_hooks.help = std::move(handler); }
    void setReportHandler(MasterScreenHooks::ReportHandler handler) { m_hooks.report = std::move(handler); }
    void setClock(Clock today) { m_hooks.today = std::move(today); }

    // The screen's own connection.
    DbSession& session() { return m_session; }
    // False once a read of the table failed.
    bool isLoaded() const { return m_loaded; }

    static QString recordGoneMessage();

public slots:
    void onAddClicked();
    void onModifyClicked();
    void onDeleteClicked();
    void onPrintClicked();
    void showHelp();
    // A pick in the id combo.
    void onIdChosen();
    // A click on the list.
    void onListClicked();

protected:
    struct Button {
        Action action;
        QString caption; // empty for a picture button
        QString toolTip;
    };

    // What a screen reloads after a change.
    enum class Reload {
        All,          // opening, or the table changed behind the screen's back
        Added,        // after an Add, also a refused one
        Modified,     // after a Modify, also a refused one
        Deleted,      // after a Delete
        DeleteRefused // a citation still uses the row
    };

    // frameKind and listKind are the control kinds this screen's frame and list go by ("Frm", "LV").
    MasterFormScreen(const DbContext& ctx, MasterKind kind, const QString& number, const QString& frameKind,
                     const QString& listKind, const QList<Button>& buttons, QWidget* parent);

    // Brings the list and the combo in step with the table; the failure is left to the caller.
    virtual Error reload(Reload what) = 0;
    // A click on a list item.
    virtual void selectFromList(const QTreeWidgetItem& item) = 0;

    // Reads everything when the screen opens; a failure is shown and leaves only Close and Help.
    void loadOnOpen();

    const MasterTable& table() const { return m_store.table(); }
    // The id of the selected row; none while the proposed next id (or nothing) is selected.
    std::optional<qint64> selectedId() const;
    // Selects the combo's entry for that row, without signals.
    bool selectRow(qint64 id);
    void addComboRow(qint64 id);
    // Empties the list and sets its two columns.
    void resetList();
    void addListItem(const MasterRow& row);
    // Add on for the proposed id, Modify and Delete on for a row; all off once a read failed.
    void showEntryState();

    // The routines both kinds of screen share.
    Error loadList();
    // Fills the combo with every id and then the proposed next one, and selects that last entry.
    Error loadIds();
    // Puts the stored name of the selected row into the name box, or empties it.
    Error showSelectedName();

    QTreeWidget* m_list = nullptr;
    QComboBox* m_ids = nullptr;
    QLineEdit* m_name = nullptr;

private:
    void buildFrame(const QString& number, const QString& frameKind);
    void buildList(const QString& number, const QString& listKind);
    QLayout* buildButtons(const QString& number, const QList<Button>& buttons);
    void connectButton(QPushButton* button, Action action);

    Error addRow();
    Error renameRow();
    Error deleteRow();

    QPushButton* button(Action action) const;
    bool refuseEmptyName();
    // A reload whose failure leaves only Close and Help.
    Error reloadOrLock(Reload what);
    // The row went behind the screen's back: reload, then say so.
    Error recordGone();
    void lock();
    // A button's action under the hourglass, none after a failed read; a failure is shown, titled with its number,
    // with the pointer back.
    void runAction(const std::function<Error(Hourglass& busy)>& action);

    DbContext m_ctx;
    DbSession m_session;
    MasterStore m_store;
    MasterScreenHooks m_hooks;
    CHelp m_help;
    bool m_loaded = true;

    QTabBar* m_tabs = nullptr;
    QFrame* m_frame = nullptr;
    QList<QPushButton*> m_buttons;
    QList<Action> m_actions;
};
