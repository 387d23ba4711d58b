#pragma once

#include "core/db/db_context.h"
#include "core/db/db_session.h"
#include "core/masters/listing_report_data.h"
#include "gui/common/chelp.h"
#include "gui/common/screen_hooks.h"

#include <QDialog>

#include <functional>

class CitationListModel;
class ListingReport;
class QLayout;
class QTreeView;
struct Error;

// The View Citation screen: every citation in one list, read a block at a time as it is scrolled. A double-click
// opens the citation screen on the row to read it; Print shows the citation listing report.
class CitationListScreen : public QDialog
{
    Q_OBJECT

public:
    enum Button { CloseButton = 0, PrintButton, HelpButton };
    static constexpr int kHelpContext = 100100;

    using HelpHandler = ScreenHooks::HelpHandler;
    // Shows a prepared report; the preview window unless a test puts another in its place.
    using ReportHandler = std::function<void(QWidget* owner, const ListingReport& report)>;

    explicit CitationListScreen(const DbContext& ctx, QWidget* parent = nullptr);
    ~CitationListScreen() override;

    void setHelpHandler(HelpHandler handler) { m_helpHandler = std::move(handler); }
    void setReportHandler(ReportHandler handler) { m_reportHandler = std::move(handler); }
    // Today, for the report's date.
    void setClock(Clock today) { m_today = std::move(today); }

    CitationListModel* model() const { return m_model; }

public slots:
    void loadList();
    // Print: the citation listing report.
    void showReport();
    void showHelp();

private:
    QLayout* buildButtons();
    void openCitation(const QModelIndex& index);
    // The Id column as wide as its widest id, measured as the list draws it.
    void fitIdColumn();
    void showError(const Error& error);

    DbContext m_ctx;
    DbSession m_session;
    CHelp m_help;
    Clock m_today;
    HelpHandler m_helpHandler;
    ReportHandler m_reportHandler;
    CitationListModel* m_model = nullptr;
    QTreeView* m_list = nullptr;
};
