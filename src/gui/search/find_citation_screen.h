#pragma once

#include "core/db/db_context.h"
#include "core/db/db_session.h"
#include "core/search/citation_search.h"
#include "gui/citations/citation_report_saver.h"
#include "gui/common/chelp.h"
#include "gui/common/screen_hooks.h"

#include <QDate>
#include <QDialog>
#include <QList>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QMovie;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class SearchRun;

// The Find Citation screen: a text looked for in one field or every field of every citation, the hits listed as
// they are found, one opened in the citation screen for change, or saved to a file. The search runs off the
// interface thread, so the screen stays live and Stop can be pressed.
class FindCitationScreen : public QDialog
{
    Q_OBJECT

public:
    // "Cmd0005(0)".."Cmd0005(5)".
    enum Button { FindNowButton = 0, NewSearchButton, CloseButton, StopButton, HelpButton, SaveReportButton };
    // "Chk0005(0)".."Chk0005(2)".
    enum Option { AllFieldsOption = 0, MatchCaseOption, WholeWordOption };

    static constexpr int kHelpContext = 70100;

    using HelpHandler = ScreenHooks::HelpHandler;

    explicit FindCitationScreen(const DbContext& ctx, QWidget* parent = nullptr);
    ~FindCitationScreen() override;

    void setHelpHandler(HelpHandler handler) { m_helpHandler = std::move(handler); }
    void setExportHook(CitationReportSaver::ExportHook hook) { m_export = std::move(hook); }
    // Today, for the date of a saved report.
    void setClock(std::function<QDate()> today) { m_today = std::move(today); }

    bool isSearching() const;
    // The animation file beside the program.
    static QString animationPath(const QString& programDir);

public slots:
    // The buttons "Cmd0005(0)".."Cmd0005(5)", each its own slot (Close is the dialog's own).
    void findNow();
    void newSearch();
    // Ends the running pass after its current row; the passes after it still run.
    void stop();
    void showHelp();
    void saveReport();
    // "Select all fields" decides whether "Look in" can be chosen.
    void updateLookIn();
    void searchTextChanged();
    void lookInChanged();
    // Opens the chosen hit in the citation screen, then searches again.
    void openSelectedCitation();
    // Writes the citations found (each once, in the order found) to a file in the import's form; from the list's
    // context menu.
    void exportFound();
    // The case ids of the hits listed, each once, in list order.
    QList<qint64> foundCaseIds() const;

    // Closing stops a running search and waits for it.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    QLayout* buildSearchFields();
    void buildResults();
    void buildButtons();
    QLayout* buildCommandColumn();
    void loadFieldChoices();
    // Empties the list of hits and sets its headings.
    void clearResults();
    // Runs the passes into the emptied list; the outcome is shown when the last one ends.
    void startSearch(const QList<SearchPass>& passes, const SearchRequest& request);
    void addHits(const QList<SearchHit>& hits);
    void searchFinished(const Error& error);
    void setSearching(bool searching);
    void setIdleStates();
    void stopSearch();
    QTreeWidgetItem* selectedItem() const;
    // A failure inside a button's action: its description, titled with its number.
    void showError(const Error& error);

    DbContext m_ctx;
    DbSession m_session;
    CHelp m_help;
    HelpHandler m_helpHandler;
    std::function<QDate()> m_today;
    CitationReportSaver::ExportHook m_export;
    std::unique_ptr<SearchRun> m_run;
    // What the last Find Now searched for, so that the list can be brought up to date after a change.
    SearchRequest m_lastRequest;

    QLineEdit* m_text = nullptr;
    QLabel* m_lookInLabel = nullptr;
    QComboBox* m_fields = nullptr;
    QList<QCheckBox*> m_options;
    QTreeWidget* m_results = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_animationView = nullptr;
    QMovie* m_animation = nullptr;
    QList<QPushButton*> m_buttons;
};
