#include "gui/citations/citation_screen.h"

#include "core/citations/citation_export.h"
#include "core/citations/citation_rules.h"

#include "core/masters/master_store.h"
#include "gui/citations/citation_report_saver.h"
#include "gui/citations/citation_validator.h"
#include "gui/citations/in_place_list.h"
#include "gui/citations/long_text_edit.h"
#include "gui/common/hourglass.h"
#include "gui/common/icons.h"
#include "gui/common/message_box.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStringListModel>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
const QString kNumber = QStringLiteral("0006");
constexpr int kNumberColumnWidth = 36;
constexpr int kIdColumnWidth = 80;

QString arrayName(const QString& kind, int index)
{
    return kind + kNumber + QLatin1Char('(') + QString::number(index) + QLatin1Char(')');
}

// The long-text boxes: control index and label. Each holds at most what the store takes.
struct TextBox {
    Citation::Text text;
    int index;
    const char* label;
};
// In the order they are laid out, three to a row.
const TextBox kTextBoxes[] = {
    {Citation::NatureOfCase, 4, "Nature of case"}, {Citation::FactSummary, 3, "Fact summary"},
    {Citation::Judgment, 1, "Judgment"},           {Citation::Issue, 5, "Issue"},
    {Citation::RuleOfLaw, 6, "Rule of law"},       {Citation::Remarks, 7, "Remarks"},
};

// Category and court rows: name, id. Act rows: name, section, id.
QList<CitationLink> linksOf(const InPlaceList& list, bool withSection)
{
    QList<CitationLink> links;
    for (const QStringList& row : list.rows()) {
        if (withSection)
            links.append({row.value(2).toLongLong(), row.value(0), row.value(1)});
        else
            links.append({row.value(1).toLongLong(), row.value(0), QString()});
    }
    return links;
}

void showLinks(InPlaceList& list, const QList<CitationLink>& links, bool withSection)
{
    list.clear();
    for (const CitationLink& link : links) {
        const QString id = QString::number(link.masterId);
        list.appendRow(withSection ? QStringList{link.name, link.section, id} : QStringList{link.name, id});
    }
}

} // namespace

CitationScreen::CitationScreen(const DbContext& ctx, Mode mode, qint64 caseId, QWidget* parent)
    : QDialog(parent)
    , m_ctx(ctx)
    , m_session(ctx)
    , m_store(m_session)
    , m_mode(mode)
    , m_helpHandler(ScreenHooks::helpViewer(m_help))
    , m_today(ScreenHooks::systemClock())
    , m_export(ScreenHooks::coreExport([this] { return m_today(); }))
{
    Hourglass busy;
    setObjectName(QStringLiteral("CS06000601"));
    setWindowTitle(QStringLiteral("Citation"));
    setModal(true);
    buildControls();
    setListColumns();
    setDateOnScreen(m_today());

    Error error = m_session.error();
    if (!error)
        error = fillChoosers();
    if (!error)
        error = loadCaseIds();
    setButtonStates();
    if (error) {
        busy.release();
        showError(error);
        return;
    }
    if (m_mode != Mode::Entry)
        selectCase(caseId);
    setButtonStates();
}

CitationScreen::~CitationScreen() = default;

void CitationScreen::buildControls()
{
    auto* page = new QVBoxLayout(this);
    page->addLayout(buildFields());
    page->addLayout(buildTextBoxes(), 3);
    page->addLayout(buildLists(), 2);
    page->addLayout(buildButtons());

    connect(m_caseIds, qOverload<int>(&QComboBox::currentIndexChanged), this, &CitationScreen::onCaseChosen);

    const bool readOnly = m_mode == Mode::ReadOnly;
    m_citation->setReadOnly(readOnly);
    m_caseTitle->setReadOnly(readOnly);
    m_date->setReadOnly(readOnly);
    for (LongTextEdit* edit : m_texts)
        edit->setReadOnly(readOnly);
    for (InPlaceList* list : {m_categories, m_courts, m_acts, m_bench})
        list->setReadOnly(readOnly);
    resize(1000, 720);
}

// The labels are numbered in the order they are made, row by row.
QLabel* CitationScreen::makeLabel(const QString& text)
{
    auto* l = new QLabel(text, this);
    l->setObjectName(arrayName(QStringLiteral("Lbl"), m_labelCount++));
    return l;
}

// The citation's own fields: "Sr. No", citation, case and date.
QLayout* CitationScreen::buildFields()
{
    auto* head = new QGridLayout;
    m_caseIds = new QComboBox(this);
    m_caseIds->setObjectName(arrayName(QStringLiteral("Cbo"), 0));
    m_caseIdModel = new QStringListModel(this);
    m_caseIds->setModel(m_caseIdModel);
    // Tens of thousands of case ids: no measuring of every entry, a popup of rows of one height.
    m_caseIds->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_caseIds->setMinimumContentsLength(8);
    if (auto* view = qobject_cast<QListView*>(m_caseIds->view()))
        view->setUniformItemSizes(true);
    m_citation = new QLineEdit(this);
    m_citation->setObjectName(arrayName(QStringLiteral("Txt"), 0));
    m_citation->setMaxLength(CitationStore::kShortTextLimit);
    m_citation->setValidator(new CitationValidator(m_citation));
    m_caseTitle = new QLineEdit(this);
    m_caseTitle->setObjectName(arrayName(QStringLiteral("Txt"), 2));
    m_caseTitle->setMaxLength(CitationStore::kShortTextLimit);
    m_date = new QDateEdit(this);
    m_date->setObjectName(QStringLiteral("DTP") + kNumber);
    m_date->setDisplayFormat(QStringLiteral("MMM-yyyy"));
    m_date->setCalendarPopup(true);
    // The earliest date stands for none: a case stored without a date shows blank and stays without one.
    m_date->setSpecialValueText(QStringLiteral(" "));
    head->addWidget(makeLabel(QStringLiteral("Sr. No")), 0, 0);
    head->addWidget(m_caseIds, 0, 1);
    head->addWidget(makeLabel(QStringLiteral("Citation")), 0, 2);
    head->addWidget(m_citation, 0, 3);
    head->addWidget(makeLabel(QStringLiteral("Case")), 0, 4);
    head->addWidget(m_caseTitle, 0, 5);
    head->addWidget(makeLabel(QStringLiteral("Date")), 0, 6);
    head->addWidget(m_date, 0, 7);
    head->setColumnStretch(1, 1);
    head->setColumnStretch(3, 3);
    head->setColumnStretch(5, 4);
    head->setColumnStretch(7, 1);
    return head;
}

// The six long texts, each under its caption and the count of what it holds.
QLayout* CitationScreen::buildTextBoxes()
{
    auto* texts = new QGridLayout;
    int cell = 0;
    for (const TextBox& box : kTextBoxes) {
        auto* edit = new LongTextEdit(this);
        edit->setObjectName(arrayName(QStringLiteral("Txt"), box.index));
        edit->setMaxLength(CitationStore::kLongTextLimit);
        edit->setTabChangesFocus(true);
        edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        edit->setMinimumHeight(48);
        m_texts[box.text] = edit;
        const int row = cell / 3 * 2;
        const int column = cell % 3;
        auto* caption = new QHBoxLayout;
        caption->addWidget(makeLabel(QLatin1String(box.label)));
        caption->addStretch();
        auto* counter = new QLabel(this);
        caption->addWidget(counter);
        edit->setCounter(counter);
        texts->addLayout(caption, row, column);
        texts->addWidget(edit, row + 1, column);
        texts->setRowStretch(row + 1, 1);
        texts->setColumnStretch(column, 1);
        ++cell;
    }
    return texts;
}

// The four lists, each with its editors laid over it.
QLayout* CitationScreen::buildLists()
{
    auto* lists = new QGridLayout;
    const auto makeList = [&](int index) {
        auto* list = new QTreeWidget(this);
        list->setObjectName(arrayName(QStringLiteral("LV"), index));
        list->setMinimumHeight(90);
        return list;
    };
    const auto makeChooser = [&](int index) {
        auto* chooser = new QComboBox(this);
        chooser->setObjectName(arrayName(QStringLiteral("Cbo"), index));
        m_choosers[index - 1] = chooser;
        return chooser;
    };
    const auto makeEditor = [&](int index) {
        auto* editor = new QLineEdit(this);
        editor->setObjectName(arrayName(QStringLiteral("Txt"), index));
        editor->setMaxLength(CitationStore::kNameLimit);
        return editor;
    };
    m_categories = new InPlaceList(makeList(0), makeChooser(1), nullptr, {2, -1}, true, this);
    m_courts = new InPlaceList(makeList(1), makeChooser(2), nullptr, {2, -1}, true, this);
    m_section = makeEditor(8);
    m_acts = new InPlaceList(makeList(2), makeChooser(3), m_section, {3, 2}, true, this);
    m_benchName = makeEditor(9);
    m_bench = new InPlaceList(makeList(3), nullptr, m_benchName, {-1, 1}, false, this);

    lists->addWidget(makeLabel(QStringLiteral("Category   (Press Alt+E to add)")), 0, 0);
    lists->addWidget(makeLabel(QStringLiteral("Court        (Press Alt+R to add)")), 0, 1);
    auto* actLabels = new QHBoxLayout;
    actLabels->addWidget(makeLabel(QStringLiteral("Act      (Press Alt+T to add)")), 1);
    actLabels->addWidget(makeLabel(QStringLiteral("Section")));
    lists->addLayout(actLabels, 0, 2);
    lists->addWidget(makeLabel(QStringLiteral("Bench")), 0, 3);
    int column = 0;
    for (InPlaceList* list : {m_categories, m_courts, m_acts, m_bench}) {
        lists->addWidget(list->list(), 1, column);
        lists->setColumnStretch(column, column == 2 ? 4 : 3);
        ++column;
    }
    lists->setRowStretch(1, 1);
    return lists;
}

// The buttons, each to its own action. The three access-key buttons sit behind "&Add": out of sight, but their keys
// work.
QLayout* CitationScreen::buildButtons()
{
    struct ButtonText {
        const char* caption;
        const char* toolTip;
    };
    const ButtonText buttons[ButtonCount] = {{"&Close", "close citation"},
                                             {"", "Help"},
                                             {"&Add", "Add citation"},
                                             {"&Modify", "Modify citation"},
                                             {"&Delete", "Delete citation"},
                                             {"", "Save Report"},
                                             {"&e", ""},
                                             {"&r", ""},
                                             {"&t", ""}};
    for (int i = 0; i < ButtonCount; ++i) {
        auto* button = new QPushButton(QLatin1String(buttons[i].caption), this);
        button->setObjectName(arrayName(QStringLiteral("Cmd"), i));
        button->setToolTip(QLatin1String(buttons[i].toolTip));
        button->setAutoDefault(false);
        m_buttons << button;
    }
    connect(m_buttons[CloseButton], &QPushButton::clicked, this, &CitationScreen::reject);
    connect(m_buttons[HelpButton], &QPushButton::clicked, this, &CitationScreen::showHelp);
    connect(m_buttons[AddButton], &QPushButton::clicked, this, &CitationScreen::onAddClicked);
    connect(m_buttons[ModifyButton], &QPushButton::clicked, this, &CitationScreen::onModifyClicked);
    connect(m_buttons[DeleteButton], &QPushButton::clicked, this, &CitationScreen::onDeleteClicked);
    connect(m_buttons[SaveReportButton], &QPushButton::clicked, this, &CitationScreen::saveReport);
    connect(m_buttons[AddCategoryButton], &QPushButton::clicked, m_categories, &InPlaceList::addRowForEditing);
    connect(m_buttons[AddCourtButton], &QPushButton::clicked, m_courts, &InPlaceList::addRowForEditing);
    connect(m_buttons[AddActButton], &QPushButton::clicked, m_acts, &InPlaceList::addRowForEditing);
    m_buttons[HelpButton]->setIcon(Icons::icon(QStringLiteral("help")));
    m_buttons[HelpButton]->setAccessibleName(QStringLiteral("Help"));
    m_buttons[SaveReportButton]->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    m_buttons[SaveReportButton]->setAccessibleName(QStringLiteral("Save Report"));

    auto* addCell = new QGridLayout;
    addCell->setContentsMargins(0, 0, 0, 0);
    for (int i : {AddCategoryButton, AddCourtButton, AddActButton}) {
        m_buttons[i]->setFixedSize(1, 1);
        m_buttons[i]->setFocusPolicy(Qt::NoFocus);
        addCell->addWidget(m_buttons[i], 0, 0, Qt::AlignCenter);
    }
    addCell->addWidget(m_buttons[AddButton], 0, 0);
    m_buttons[AddButton]->raise();
    // Stretch factors throughout, so that the buttons keep their share of the width as the window changes.
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addLayout(addCell, 2);
    for (int i : {ModifyButton, DeleteButton, CloseButton})
        buttonRow->addWidget(m_buttons[i], 2);
    buttonRow->addStretch(6);
    buttonRow->addWidget(m_buttons[HelpButton], 1);
    buttonRow->addWidget(m_buttons[SaveReportButton], 1);
    return buttonRow;
}

void CitationScreen::setListColumns()
{
    const auto setColumns = [](InPlaceList* list, const QStringList& headers, const QList<int>& stretched) {
        QTreeWidget* tree = list->list();
        tree->setColumnCount(headers.size());
        tree->setHeaderLabels(headers);
        QHeaderView* header = tree->header();
        header->setStretchLastSection(false);
        for (int c = 0; c < headers.size(); ++c) {
            if (stretched.contains(c)) {
                header->setSectionResizeMode(c, QHeaderView::Stretch);
            } else {
                header->setSectionResizeMode(c, QHeaderView::Interactive);
                tree->setColumnWidth(c, c == 0 ? kNumberColumnWidth : kIdColumnWidth);
            }
        }
    };
    setColumns(m_categories, {QStringLiteral("Id"), QStringLiteral("Category"), QStringLiteral("Category Id")}, {1});
    setColumns(m_courts, {QStringLiteral("Id"), QStringLiteral("Court"), QStringLiteral("Court Id")}, {1});
    setColumns(m_acts,
               {QStringLiteral("Id"), QStringLiteral("Act"), QStringLiteral("Section"), QStringLiteral("Act Id")},
               {1, 2});
    setColumns(m_bench, {QStringLiteral("Id"), QStringLiteral("Bench")}, {1});
}

Result<QList<MasterRow>> CitationScreen::masterRows(MasterKind kind)
{
    return MasterStore(m_session, kind).rows();
}

Error CitationScreen::fillChoosers()
{
    const std::array<std::pair<int, MasterKind>, 3> choosers{
        {{0, MasterKind::Category}, {1, MasterKind::Court}, {2, MasterKind::Act}}};
    for (const auto& [index, kind] : choosers)
        if (Error error = fillChooser(m_choosers[index], kind))
            return error;
    return {};
}

Error CitationScreen::fillChooser(QComboBox* chooser, MasterKind kind)
{
    const QSignalBlocker quiet(chooser);
    chooser->clear();
    chooser->addItem(QStringLiteral("(None)"), qint64(0));
    const Result<QList<MasterRow>> rows = masterRows(kind);
    if (!rows)
        return rows.error();
    for (const MasterRow& row : *rows)
        chooser->addItem(row.name, row.id);
    chooser->setCurrentIndex(0);
    return {};
}

Error CitationScreen::loadCaseIds()
{
    const Result<QList<qint64>> ids = m_store.caseIds();
    if (!ids)
        return ids.error();
    const Result<qint64> next = m_store.nextCaseId();
    if (!next)
        return next.error();
    QStringList entries;
    entries.reserve(ids->size() + 1);
    for (qint64 id : *ids)
        entries << QString::number(id);
    entries << QString::number(*next);
    {
        // One reset of the model, not one insert per case.
        const QSignalBlocker quiet(m_caseIds);
        m_caseIdModel->setStringList(entries);
        m_caseIds->setCurrentIndex(int(entries.size()) - 1);
    }
    hideEditors();
    clearCitation();
    setButtonStates();
    return {};
}

void CitationScreen::onCaseChosen()
{
    Hourglass busy;
    hideEditors();
    setButtonStates();
    if (m_caseIds->currentIndex() < 0)
        return;
    const Error error = isNewEntry() ? Error() : loadShownCitation();
    if (isNewEntry())
        clearCitation();
    setButtonStates();
    if (error) {
        busy.release();
        showError(error);
    }
}

Error CitationScreen::loadShownCitation()
{
    clearCitation();
    const qint64 caseId = shownCaseId();
    m_loaded = Citation();
    m_loaded.caseId = caseId;
    const Result<bool> stored = m_store.exists(caseId);
    if (!stored)
        return stored.error();
    if (!*stored) {
        // Deleted by another program since the list was read: say so and show what is there now.
        const Error reload = loadCaseIds();
        return reload ? reload : Error::of(Error::Kind::NotFound, CitationStore::vanishedMessage(caseId));
    }
    const Result<Citation> citation = m_store.load(caseId);
    if (!citation)
        return citation.error();
    showCitation(*citation);
    m_loaded = *citation;
    return {};
}

void CitationScreen::selectCase(qint64 caseId)
{
    const int index = int(m_caseIdModel->stringList().indexOf(QString::number(caseId)));
    if (index < 0 || index == m_caseIds->count() - 1) {
        showError(Error::of(Error::Kind::NotFound, CitationStore::vanishedMessage(caseId)));
        return;
    }
    m_caseIds->setCurrentIndex(index);
}

void CitationScreen::onAddClicked()
{
    showError(addCitation());
}

void CitationScreen::onModifyClicked()
{
    showError(modifyCitation());
}

void CitationScreen::onDeleteClicked()
{
    showError(deleteCitation());
}

// The rules of the record are the core's: what must be filled in is asked here, before the question; the limits
// of the columns are the store's answer to the write.
bool CitationScreen::refuseEmptyCitation()
{
    const Error error = CitationRules::requiredError(citationOnScreen());
    if (!error)
        return false;
    MessageBox::information(this, error.description);
    return true;
}

// A write that fails leaves the screen as it was, so nothing typed is lost; only a stored change moves on.
Error CitationScreen::addCitation()
{
    if (refuseEmptyCitation())
        return {};
    if (MessageBox::question(this, QStringLiteral("Do you wish to add the citation?")) != MessageBox::Answer::Yes)
        return {};
    Hourglass busy;
    const Result<qint64> added = m_store.add(citationOnScreen());
    if (!added)
        return added.error();
    const Error error = startNewCitation();
    setDateOnScreen(m_today());
    return error;
}

Error CitationScreen::modifyCitation()
{
    if (refuseEmptyCitation())
        return {};
    if (MessageBox::question(this, QStringLiteral("Do you wish to modify the citation?"), MessageBox::Answer::No) !=
        MessageBox::Answer::Yes)
        return {};
    Hourglass busy;
    if (Error error = m_store.modify(m_loaded, citationOnScreen())) {
        if (error.kind != Error::Kind::Conflict)
            return error;
        busy.release();
        return offerReload(error);
    }
    if (m_mode == Mode::ForChange) {
        accept();
        return {};
    }
    const Error error = startNewCitation();
    m_buttons[CloseButton]->setFocus();
    return error;
}

Error CitationScreen::deleteCitation()
{
    if (MessageBox::question(this, QStringLiteral("Do you want to delete selected citation?"),
                             MessageBox::Answer::No) != MessageBox::Answer::Yes)
        return {};
    Hourglass busy;
    if (Error error = m_store.remove(m_loaded)) {
        // Gone already: the list is read again so that it no longer offers it.
        if (error.kind == Error::Kind::NotFound)
            startNewCitation();
        if (error.kind != Error::Kind::Conflict)
            return error;
        busy.release();
        return offerReload(error);
    }
    const Error error = startNewCitation();
    m_buttons[CloseButton]->setFocus();
    return error;
}

// No leaves the screen as it is, so that nothing typed is lost; Yes shows the citation as it is stored now (or says
// that it is gone).
Error CitationScreen::offerReload(const Error& conflict)
{
    // Reloading replaces what was typed, so No is the default.
    if (MessageBox::question(this, conflict.description + QStringLiteral("\n\nDo you wish to reload the citation?"),
                             MessageBox::Answer::No) != MessageBox::Answer::Yes)
        return {};
    Hourglass busy;
    hideEditors();
    const Error error = loadShownCitation();
    setButtonStates();
    return error;
}

Error CitationScreen::startNewCitation()
{
    const Error error = loadCaseIds();
    for (QComboBox* chooser : m_choosers) {
        const QSignalBlocker quiet(chooser);
        chooser->setCurrentIndex(chooser->count() > 0 ? 0 : -1);
    }
    return error;
}

void CitationScreen::saveReport()
{
    showError(CitationReportSaver::save(this, m_session, shownCaseId(), m_export));
}

void CitationScreen::showHelp()
{
    if (m_helpHandler)
        m_helpHandler(this, m_ctx.programDir, kHelpContext);
}

bool CitationScreen::isNewEntry() const
{
    const int count = m_caseIds->count();
    return count > 0 && m_caseIds->currentIndex() == count - 1;
}

qint64 CitationScreen::shownCaseId() const
{
    return m_caseIds->currentText().toLongLong();
}

void CitationScreen::setButtonStates()
{
    const bool fresh = isNewEntry();
    const bool stored = m_caseIds->currentIndex() >= 0 && !fresh;
    const bool entry = m_mode == Mode::Entry;
    const bool writable = m_mode != Mode::ReadOnly;
    m_buttons[AddButton]->setEnabled(entry && fresh);
    m_buttons[ModifyButton]->setEnabled(writable && stored);
    m_buttons[DeleteButton]->setEnabled(entry && stored);
    m_buttons[SaveReportButton]->setEnabled(stored);
    for (int i : {HelpButton, AddCategoryButton, AddCourtButton, AddActButton})
        m_buttons[i]->setEnabled(writable);
    m_caseIds->setEnabled(entry);
}

void CitationScreen::hideEditors()
{
    for (InPlaceList* list : {m_categories, m_courts, m_acts, m_bench})
        list->hideEditors();
}

Citation CitationScreen::citationOnScreen() const
{
    Citation c;
    c.caseId = shownCaseId();
    c.citation = m_citation->text();
    c.caseTitle = m_caseTitle->text();
    c.judgmentDate = dateOnScreen();
    for (int i = 0; i < Citation::kTextCount; ++i)
        c.texts[i] = m_texts[i]->text();
    c.textIds = m_textIds;
    c.categories = linksOf(*m_categories, false);
    c.courts = linksOf(*m_courts, false);
    c.acts = linksOf(*m_acts, true);
    for (const QStringList& row : m_bench->rows())
        c.bench << row.value(0);
    return c;
}

void CitationScreen::showCitation(const Citation& c)
{
    CitationValidator::setTextUnchecked(m_citation, c.citation);
    m_caseTitle->setText(c.caseTitle);
    setDateOnScreen(c.judgmentDate);
    for (int i = 0; i < Citation::kTextCount; ++i)
        m_texts[i]->setText(c.texts[i]);
    m_textIds = c.textIds;
    showLinks(*m_categories, c.categories, false);
    showLinks(*m_courts, c.courts, false);
    showLinks(*m_acts, c.acts, true);
    m_bench->clear();
    for (int row = 0; row < Citation::kBenchRows; ++row)
        m_bench->appendRow({c.bench.value(row)});
}

// An empty citation; the date stays as it is.
void CitationScreen::clearCitation()
{
    Citation empty;
    empty.judgmentDate = dateOnScreen();
    showCitation(empty);
}

QDate CitationScreen::dateOnScreen() const
{
    const QDate date = m_date->date();
    return date == m_date->minimumDate() ? QDate() : date;
}

void CitationScreen::setDateOnScreen(const QDate& date)
{
    m_date->setDate(date.isValid() ? date : m_date->minimumDate());
}

void CitationScreen::showError(const Error& error)
{
    if (error)
        MessageBox::information(this, error.description);
}
