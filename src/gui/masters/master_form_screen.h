#pragma once

#include "core/db/db_context.h"
#include "gui/masters/master_screen_hooks.h"
#include "core/masters/master_store.h"
#include "gui/common/chelp.h"

#include <QDialog>
#include <QList>

class QComboBox;
class QFrame;
class QLineEdit;
class QPushButton;
class QTabBar;
class QTreeWidget;

// The controls every master screen has, named after the screen's number: a tab with the list's name, a frame
// with the id combo and the name box, the list of rows and a row of six buttons ("Cmd0002(0)".."Cmd0002(5)").
// The screens built on it decide what the buttons do.
class MasterFormScreen : public QDialog
{
    Q_OBJECT

public:
    struct ButtonText {
        QString caption; // empty for a picture button
        QString toolTip;
    };

    void setHelpHandler(MasterScreenHooks::HelpHandler handler) { m_hooks.help = std::move(handler); }
    void setReportHandler(MasterScreenHooks::ReportHandler handler) { m_hooks.report = std::move(handler); }

protected:
    // frameKind and listKind are the control kinds this screen's frame and list go by ("Frm", "LV").
    MasterFormScreen(const DbContext& ctx, MasterKind kind, const QString& number, const QString& frameKind,
                     const QString& listKind, const QList<ButtonText>& buttons, QWidget* parent);

    const MasterTable& table() const { return m_store.table(); }
    // The id the combo shows; anything that is not a number stands for no row.
    qint64 selectedId() const;
    // Empties the list and sets its two columns.
    void resetList();
    void addListItem(const MasterRow& row);
    void showHelp();
    DbError showReport(Hourglass& busy);

    // The routines both kinds of screen share.
    // Fills the combo with every id and then the next free one, and selects that last entry without signals.
    DbError fillIdCombo();
    // Puts the name of the combo's id into the text box, or leaves it empty.
    DbError loadSelectedName();
    DbError addTypedName();
    DbError renameToTypedName();
    // Deletes the combo's id unless a citation uses it; says so when one does.
    MasterResult removeSelected();
    bool refuseEmptyName();
    bool confirmDelete();
    void setEntryButtons(bool newEntry, int add, int modify, int remove);

    // Loads the id the combo shows and sets the buttons to match; the failure is left to the caller.
    virtual DbError selectedIdChanged() = 0;
    // A pick in the combo: selectedIdChanged under the hourglass, its failure shown.
    void idPicked();
    // The end of a button action: a failure is shown, titled with its number, with the pointer back.
    void finishAction(Hourglass& busy, const DbError& error);

    DbContext m_ctx;
    MasterStore m_store;
    MasterScreenHooks m_hooks;
    CHelp m_help;

    QTabBar* m_tabs = nullptr;
    QFrame* m_frame = nullptr;
    QComboBox* m_ids = nullptr;
    QLineEdit* m_name = nullptr;
    QTreeWidget* m_list = nullptr;
    QList<QPushButton*> m_buttons;
};
