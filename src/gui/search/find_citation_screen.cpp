#include "gui/search/find_citation_screen.h"

#include "gui/citations/citation_screen.h"
#include "gui/common/hourglass.h"
#include "gui/common/icons.h"
#include "gui/common/message_box.h"
#include "gui/common/screen_hooks.h"
#include "gui/search/search_run.h"
#include "gui/search/search_text_validator.h"
#include "gui/transfer/transfer_actions.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMovie>
#include <QPushButton>
#include <QSet>
#include <QSignalBlocker>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
const QString kNumber = QStringLiteral("0005");
constexpr int kCaseIdRole = Qt::UserRole;

QString arrayName(const QString& kind, int index)
{
    return kind + kNumber + QLatin1Char('(') + QString::number(index) + QLatin1Char(')');
}
} // namespace

FindCitationScreen::FindCitationScreen(const DbContext& ctx, QWidget* parent)
    : QDialog(parent)
    , m_ctx(ctx)
    , m_session(ctx)
    , m_today(ScreenHooks::systemClock())
    , m_export(ScreenHooks::coreExport([this] { return m_today(); }))
{
    Hourglass busy;
    m_helpHandler = ScreenHooks::helpViewer(m_help);
    setObjectName(QStringLiteral("CS06000501"));
    setWindowTitle(QStringLiteral("Find In Citation"));
    setModal(true);
    buildControls();
    // Without the file the screen shows no animation and searches all the same.
    m_animation = new QMovie(animationPath(m_ctx.programDir), QByteArray(), this);
    if (m_animation->isValid()) {
        m_animationView->setMovie(m_animation);
        m_animation->jumpToFrame(0);
    }
    loadFieldChoices();
    clearResults();
    setIdleStates();
}

FindCitationScreen::~FindCitationScreen()
{
    stopSearch();
}

QString FindCitationScreen::animationPath(const QString& programDir)
{
    return programDir + QStringLiteral("/Accessories/findfile.gif");
}

void FindCitationScreen::buildControls()
{
    QLayout* fields = buildSearchFields();
    buildResults();
    buildButtons();

    // The search fields and options on the left, the commands on the right, the results below.
    auto* top = new QHBoxLayout;
    top->addLayout(fields, 1);
    top->addLayout(buildCommandColumn());

    auto* page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addWidget(m_results, 1);
    page->addWidget(m_status);

    connect(m_text, &QLineEdit::textChanged, this, &FindCitationScreen::searchTextChanged);
    connect(m_fields, qOverload<int>(&QComboBox::currentIndexChanged), this, &FindCitationScreen::lookInChanged);
    connect(m_results, &QTreeWidget::itemDoubleClicked, this, &FindCitationScreen::openSelectedCitation);
    resize(640, 480);
}

QLayout* FindCitationScreen::buildSearchFields()
{
    auto* textLabel = new QLabel(QStringLiteral("Search Text"), this);
    textLabel->setObjectName(arrayName(QStringLiteral("Lbl"), 0));

    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("Txt") + kNumber);
    m_text->installEventFilter(this);
    m_text->setValidator(new SearchTextValidator(m_text));
    m_lookInLabel = new QLabel(QStringLiteral("Look in"), this);
    m_lookInLabel->setObjectName(arrayName(QStringLiteral("Lbl"), 1));
    m_fields = new QComboBox(this);
    m_fields->setObjectName(QStringLiteral("Cbo") + kNumber);
    textLabel->setBuddy(m_text);
    m_lookInLabel->setBuddy(m_fields);

    auto* frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Fra") + kNumber);
    auto* frameLayout = new QVBoxLayout(frame);
    const char* const optionTexts[] = {"Select all fields", "Match Case", "Whole Word only"};
    for (int i = 0; i < 3; ++i) {
        auto* box = new QCheckBox(QLatin1String(optionTexts[i]), frame);
        box->setObjectName(arrayName(QStringLiteral("Chk"), i));
        frameLayout->addWidget(box);
        m_options << box;
    }
    // The box's state, not the click: the keyboard and assistive tools change it too.
    connect(m_options[AllFieldsOption], &QCheckBox::toggled, this, &FindCitationScreen::updateLookIn);

    auto* fields = new QGridLayout;
    fields->addWidget(textLabel, 0, 0);
    fields->addWidget(m_text, 0, 1);
    fields->addWidget(m_lookInLabel, 1, 0);
    fields->addWidget(m_fields, 1, 1);
    fields->addWidget(frame, 2, 0, 1, 2);
    fields->setColumnStretch(1, 1);
    return fields;
}

void FindCitationScreen::buildResults()
{
    m_animationView = new QLabel(this);
    m_animationView->setObjectName(QStringLiteral("Ani") + kNumber);
    m_animationView->setFixedSize(48, 40);

    m_results = new QTreeWidget(this);
    m_results->setObjectName(QStringLiteral("LV") + kNumber);
    m_results->setRootIsDecorated(false);
    m_results->setItemsExpandable(false);
    m_results->setAllColumnsShowFocus(true);
    m_results->setUniformRowHeights(true);
    m_results->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_results->setSelectionMode(QAbstractItemView::SingleSelection);
    m_results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_results->setMinimumHeight(160);
    m_results->installEventFilter(this);
    // Beside the buttons: the hits can be taken out as a file.
    auto* exportFoundAction = new QAction(QStringLiteral("&Export the Citations Found..."), m_results);
    exportFoundAction->setObjectName(QStringLiteral("ExportFound"));
    m_results->addAction(exportFoundAction);
    m_results->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(exportFoundAction, &QAction::triggered, this, &FindCitationScreen::exportFound);

    m_status = new QLabel(this);
    m_status->setObjectName(arrayName(QStringLiteral("Lbl"), 2));
}

void FindCitationScreen::buildButtons()
{
    struct ButtonText {
        const char* caption;
        const char* toolTip;
    };
    const ButtonText buttons[] = {{"&Find Now", ""}, {"&New Search", ""}, {"&Close", ""},
                                  {"&Stop", ""},     {"", "Help"},        {"", "Save Report"}};
    for (int i = 0; i <= SaveReportButton; ++i) {
        auto* button = new QPushButton(QLatin1String(buttons[i].caption), this);
        button->setObjectName(arrayName(QStringLiteral("Cmd"), i));
        if (*buttons[i].toolTip) {
            button->setToolTip(QLatin1String(buttons[i].toolTip));
            button->setAccessibleName(QLatin1String(buttons[i].toolTip));
        }
        button->setAutoDefault(false);
        m_buttons << button;
    }
    connect(m_buttons[FindNowButton], &QPushButton::clicked, this, &FindCitationScreen::findNow);
    connect(m_buttons[NewSearchButton], &QPushButton::clicked, this, &FindCitationScreen::newSearch);
    connect(m_buttons[CloseButton], &QPushButton::clicked, this, &FindCitationScreen::close);
    connect(m_buttons[StopButton], &QPushButton::clicked, this, &FindCitationScreen::stop);
    connect(m_buttons[HelpButton], &QPushButton::clicked, this, &FindCitationScreen::showHelp);
    connect(m_buttons[SaveReportButton], &QPushButton::clicked, this, &FindCitationScreen::saveReport);
    m_buttons[HelpButton]->setIcon(Icons::icon(QStringLiteral("help")));
    m_buttons[SaveReportButton]->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    // Enter in the search text runs the search.
    m_buttons[FindNowButton]->setDefault(true);
}

QLayout* FindCitationScreen::buildCommandColumn()
{
    auto* commands = new QVBoxLayout;
    for (int i : {FindNowButton, StopButton, NewSearchButton, CloseButton})
        commands->addWidget(m_buttons[i]);
    auto* icons = new QHBoxLayout;
    icons->addWidget(m_buttons[HelpButton]);
    icons->addWidget(m_buttons[SaveReportButton]);
    commands->addLayout(icons);
    commands->addStretch();
    commands->addWidget(m_animationView, 0, Qt::AlignHCenter);
    return commands;
}

void FindCitationScreen::loadFieldChoices()
{
    const QSignalBlocker quiet(m_fields);
    m_fields->clear();
    m_fields->addItems(CitationSearch::fieldChoices());
    m_fields->setCurrentIndex(m_fields->count() > 0 ? 0 : -1);
}

void FindCitationScreen::clearResults()
{
    m_results->clear();
    m_results->setColumnCount(2);
    m_results->setHeaderLabels({QStringLiteral("Citation"), QStringLiteral("Found in")});
    m_results->header()->resizeSection(0, 260);
}

bool FindCitationScreen::isSearching() const
{
    return m_run && m_run->isRunning();
}

// A blank that would begin the search text is thrown away. Enter on a hit opens it, as a double click does,
// rather than pressing Find Now.
bool FindCitationScreen::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_text && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool atStart = m_text->hasSelectedText() ? m_text->selectionStart() == 0 : m_text->cursorPosition() == 0;
        if (key->text() == QLatin1String(" ") && atStart)
            return true;
    }
    if (watched == m_results && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            openSelectedCitation();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FindCitationScreen::searchTextChanged()
{
    if (!isSearching())
        m_buttons[FindNowButton]->setEnabled(!m_text->text().isEmpty());
    clearResults();
    m_status->clear();
    m_buttons[SaveReportButton]->setEnabled(false);
}

void FindCitationScreen::lookInChanged()
{
    clearResults();
    m_status->clear();
    m_buttons[SaveReportButton]->setEnabled(false);
}

void FindCitationScreen::updateLookIn()
{
    const bool lookInOne = !m_options[AllFieldsOption]->isChecked();
    m_lookInLabel->setEnabled(lookInOne);
    m_fields->setEnabled(lookInOne);
}

void FindCitationScreen::findNow()
{
    if (isSearching() || m_text->text().isEmpty())
        return;
    SearchRequest request;
    request.text = m_text->text();
    request.field = m_options[AllFieldsOption]->isChecked() ? SearchField::AllFields
                                                            : CitationSearch::fieldForChoice(m_fields->currentText());
    request.matchCase = m_options[MatchCaseOption]->isChecked();
    request.wholeWord = m_options[WholeWordOption]->isChecked();
    m_lastRequest = request;
    startSearch(CitationSearch::passesFor(request), request);
}

void FindCitationScreen::startSearch(const QList<SearchPass>& passes, const SearchRequest& request)
{
    stopSearch();
    clearResults();
    m_status->setText(QStringLiteral("Searching Record 0"));
    m_run = std::make_unique<SearchRun>(m_ctx, passes, request);
    m_run->setSinks([this](const QList<SearchHit>& hits) { addHits(hits); },
                    [this](int row) { m_status->setText(QStringLiteral("Searching Record ") + QString::number(row)); },
                    [this](const Error& error) { searchFinished(error); });
    setSearching(true);
    m_run->start();
}

void FindCitationScreen::addHits(const QList<SearchHit>& hits)
{
    QList<QTreeWidgetItem*> items;
    items.reserve(hits.size());
    for (const SearchHit& hit : hits) {
        auto* item = new QTreeWidgetItem({hit.citation, hit.foundIn});
        item->setData(0, kCaseIdRole, hit.caseId);
        items << item;
    }
    const bool first = m_results->topLevelItemCount() == 0;
    m_results->addTopLevelItems(items);
    if (first && m_results->topLevelItemCount() > 0)
        m_results->setCurrentItem(m_results->topLevelItem(0));
}

void FindCitationScreen::searchFinished(const Error& error)
{
    setSearching(false);
    const int found = m_results->topLevelItemCount();
    if (found == 0)
        m_status->setText(QStringLiteral("Search is Complete. There are no results to be displayed."));
    else
        m_status->setText(QString::number(found) + QStringLiteral(" record(s) found."));
    if (error)
        showError(error);
}

void FindCitationScreen::setSearching(bool searching)
{
    if (searching) {
        if (m_animation->isValid())
            m_animation->start();
    } else {
        m_animation->stop();
    }
    const bool idle = !searching;
    m_buttons[FindNowButton]->setEnabled(idle && !m_text->text().isEmpty());
    m_buttons[NewSearchButton]->setEnabled(idle);
    m_buttons[StopButton]->setEnabled(searching);
    m_buttons[SaveReportButton]->setEnabled(idle && m_results->topLevelItemCount() > 0);
    for (QCheckBox* box : m_options)
        box->setEnabled(idle);
    // What is searched for stays as it was while the search runs, so that the list matches it.
    m_text->setEnabled(idle);
    const bool lookInOne = idle && !m_options[AllFieldsOption]->isChecked();
    m_lookInLabel->setEnabled(lookInOne);
    m_fields->setEnabled(lookInOne);
}

void FindCitationScreen::setIdleStates()
{
    setSearching(false);
}

void FindCitationScreen::newSearch()
{
    if (MessageBox::confirm(this, QStringLiteral("This will clear your current search.")) != MessageBox::Answer::Ok)
        return;
    m_text->clear();
    for (QCheckBox* box : m_options)
        box->setChecked(false);
    updateLookIn();
    clearResults();
    m_status->clear();
    setIdleStates();
}

void FindCitationScreen::stop()
{
    m_animation->stop();
    if (m_run)
        m_run->requestStop();
}

void FindCitationScreen::stopSearch()
{
    if (m_run) {
        m_run->abandon();
        m_run.reset();
    }
}

void FindCitationScreen::done(int result)
{
    if (isSearching()) {
        Hourglass busy;
        stopSearch();
        setSearching(false);
    }
    QDialog::done(result);
}

QTreeWidgetItem* FindCitationScreen::selectedItem() const
{
    if (QTreeWidgetItem* current = m_results->currentItem())
        return current;
    return m_results->topLevelItem(0);
}

void FindCitationScreen::saveReport()
{
    QTreeWidgetItem* item = selectedItem();
    if (isSearching() || !item)
        return;
    if (MessageBox::question(this, QStringLiteral("Do you want to save report for the '") + item->text(0) +
                                       QStringLiteral("' citation?")) != MessageBox::Answer::Yes)
        return;
    Error error = m_session.error();
    if (!error)
        error = CitationReportSaver::save(this, m_session, item->data(0, kCaseIdRole).toLongLong(), m_export);
    if (error)
        showError(error);
}

void FindCitationScreen::openSelectedCitation()
{
    QTreeWidgetItem* item = m_results->currentItem();
    if (isSearching() || m_results->topLevelItemCount() == 0 || !item || item->text(0).isEmpty())
        return;
    const qint64 caseId = item->data(0, kCaseIdRole).toLongLong();
    {
        Hourglass busy;
        CitationScreen screen(m_ctx, CitationScreen::Mode::ForChange, caseId, this);
        busy.release();
        screen.exec();
    }
    // The citation may have changed: the same search again, every pass that Find Now ran.
    startSearch(CitationSearch::passesFor(m_lastRequest), m_lastRequest);
}

void FindCitationScreen::showHelp()
{
    if (m_helpHandler)
        m_helpHandler(this, m_ctx.programDir, kHelpContext);
}

void FindCitationScreen::showError(const Error& error)
{
    MessageBox::information(this, error.description, MessageBox::errorTitle(error.code));
}

QList<qint64> FindCitationScreen::foundCaseIds() const
{
    QList<qint64> ids;
    QSet<qint64> seen;
    for (int i = 0; i < m_results->topLevelItemCount(); ++i) {
        const QVariant id = m_results->topLevelItem(i)->data(0, kCaseIdRole);
        if (id.isValid() && !seen.contains(id.toLongLong())) {
            seen.insert(id.toLongLong());
            ids << id.toLongLong();
        }
    }
    return ids;
}

void FindCitationScreen::exportFound()
{
    if (isSearching())
        return;
    const QList<qint64> ids = foundCaseIds();
    if (ids.isEmpty()) {
        MessageBox::information(this, QStringLiteral("No citations were found to export."));
        return;
    }
    TransferActions::exportCitations(this, m_ctx, ids);
}
