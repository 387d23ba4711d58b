#pragma once

#include "core/citations/citation.h"
#include "core/citations/citation_export.h"
#include "core/citations/citation_store.h"
#include "core/db/db_context.h"
#include "core/db/db_session.h"
#include "core/masters/master_kind.h"
#include "gui/citations/citation_report_saver.h"
#include "gui/common/chelp.h"
#include "gui/common/screen_hooks.h"

#include <QDate>
#include <QDialog>
#include <QList>

#include <array>
#include <functional>

class InPlaceList;
class LongTextEdit;
class QComboBox;
class QDateEdit;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QStringListModel;
class QTreeWidget;
struct MasterRow;

// The Citation screen: one citation at a time added, read, changed, deleted or saved to a file. It holds one
// session for its life; the citation store does the reading and writing.
//
// Opened from the main window it starts on a new citation (Mode::Entry). Find Citation opens it on one case for
// change (Mode::ForChange: "Sr. No", "&Add" and "&Delete" disabled, closed after a successful change), the
// View Citation list on one case to read (Mode::ReadOnly: only "&Close" and "Save Report" usable).
class CitationScreen : public QDialog
{
    Q_OBJECT

public:
    enum class Mode { Entry, ForChange, ReadOnly };
    // The command buttons, "Cmd0006(0)".."Cmd0006(8)"; the last three are the access keys that add a category,
    // court or Act row (Alt+E, Alt+R, Alt+T).
    enum Button {
        CloseButton = 0,
        HelpButton,
        AddButton,
        ModifyButton,
        DeleteButton,
        SaveReportButton,
        AddCategoryButton,
        AddCourtButton,
        AddActButton,
        ButtonCount
    };
    using ReportFormat = CitationExport::Format;

    // Writes the stored citation; the core export unless a test puts another in its place.
    using ExportHook = CitationReportSaver::ExportHook;
    using HelpHandler = ScreenHooks::HelpHandler;

    static constexpr int kHelpContext = 60100;

    // caseId is the case shown for ForChange and ReadOnly; Entry starts on the next free one.
    explicit CitationScreen(const DbContext& ctx, Mode mode = Mode::Entry, qint64 caseId = 0,
                            QWidget* parent = nullptr);
    ~CitationScreen() override;

    Mode mode() const { return m_mode; }
    void setExportHook(ExportHook hook) { m_export = std::move(hook); }
    void setHelpHandler(HelpHandler handler) { m_helpHandler = std::move(handler); }
    // Today, for the date a new citation starts with.
    void setClock(Clock today) { m_today = std::move(today); }

public slots:
    void onAddClicked();
    void onModifyClicked();
    void onDeleteClicked();
    // Save Report. The file is asked for by the saver; the writing is the export hook's.
    void saveReport();
    void showHelp();
    // A pick in "Sr. No".
    void onCaseChosen();

private:
    void buildControls();
    QLabel* makeLabel(const QString& text);
    QLayout* buildFields();
    QLayout* buildTextBoxes();
    QLayout* buildLists();
    QLayout* buildButtons();
    void setListColumns();
    // The master names the choosers offer: the one read of the master lists here.
    Result<QList<MasterRow>> masterRows(MasterKind kind);
    // "(None)" and then every row of the master table.
    Error fillChooser(QComboBox* chooser, MasterKind kind);
    Error fillChoosers();
    // Every case id and then the next free one, which is picked and so shows an empty citation.
    Error loadCaseIds();
    Error loadShownCitation();
    void selectCase(qint64 caseId);

    Error addCitation();
    Error modifyCitation();
    Error deleteCitation();
    // Another user changed the citation since it was shown: says so and offers the stored one in its place.
    Error offerReload(const Error& conflict);

    bool isNewEntry() const;
    qint64 shownCaseId() const;
    void setButtonStates();
    void hideEditors();
    bool refuseEmptyCitation();
    // After a write: "Sr. No" read again, on a new citation.
    Error startNewCitation();

    Citation citationOnScreen() const;
    void showCitation(const Citation& citation);
    void clearCitation();
    QDate dateOnScreen() const;
    void setDateOnScreen(const QDate& date);
    void showError(const Error& error);

    DbContext m_ctx;
    DbSession m_session;
    CitationStore m_store;
    Mode m_mode;
    CHelp m_help;
    HelpHandler m_helpHandler;
    Clock m_today;
    ExportHook m_export;
    // The row keys of the texts shown, as the last load found them.
    std::array<qint64, Citation::kTextCount> m_textIds{};
    // The citation as the last load found it: a change or delete is refused if the stored one is no longer this.
    Citation m_loaded;

    QComboBox* m_caseIds = nullptr;
    QStringListModel* m_caseIdModel = nullptr;
    QLineEdit* m_citation = nullptr;
    QLineEdit* m_caseTitle = nullptr;
    QDateEdit* m_date = nullptr;
    std::array<LongTextEdit*, Citation::kTextCount> m_texts{};
    std::array<QComboBox*, 3> m_choosers{};
    QLineEdit* m_section = nullptr;
    QLineEdit* m_benchName = nullptr;
    InPlaceList* m_categories = nullptr;
    InPlaceList* m_courts = nullptr;
    InPlaceList* m_acts = nullptr;
    InPlaceList* m_bench = nullptr;
    QList<QPushButton*> m_buttons;
    int m_labelCount = 0;
};
