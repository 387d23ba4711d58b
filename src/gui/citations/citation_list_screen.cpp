#include "gui/citations/citation_list_screen.h"

#include "core/citations/citation_list_query.h"
#include "gui/citations/citation_list_model.h"
#include "gui/citations/citation_screen.h"
#include "gui/common/hourglass.h"
#include "gui/common/icons.h"
#include "gui/common/message_box.h"
#include "gui/common/report_preview.h"
#include "report/citation_listing_report.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// Widths in characters of the ten columns: the long texts get room for a phrase, not for all they hold.
constexpr int kColumnChars[] = {6, 22, 40, 28, 13, 30, 30, 30, 30, 30};
} // namespace

CitationListScreen::CitationListScreen(const DbContext& ctx, QWidget* parent)
    : QDialog(parent)
    , m_ctx(ctx)
    , m_session(ctx)
    , m_today(ScreenHooks::systemClock())
    , m_helpHandler(ScreenHooks::helpViewer(m_help))
{
    Hourglass busy;
    m_reportHandler = [](QWidget* owner, const ListingReport& report) {
        ReportPreview::exec(owner, report);
    };

    setObjectName(QStringLiteral("CS06001001"));
    setWindowTitle(QStringLiteral("View Citation"));
    setModal(true);

    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frm0010"));
    frame->setFrameShape(QFrame::StyledPanel);
    m_list = new QTreeView(frame);
    m_list->setObjectName(QStringLiteral("Lv0010"));
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every row one line high: the view then never measures rows it does not show.
    m_list->setUniformRowHeights(true);
    m_list->setTextElideMode(Qt::ElideRight);
    m_model = new CitationListModel(m_session, this);
    m_list->setModel(m_model);
    const int charWidth = m_list->fontMetrics().averageCharWidth();
    for (int c = 0; c < CitationListQuery::kColumnCount; ++c)
        m_list->header()->resizeSection(c, kColumnChars[c] * charWidth);
    connect(m_list, &QTreeView::doubleClicked, this, &CitationListScreen::openCitation);
    connect(m_model, &CitationListModel::readFailed, this, &CitationListScreen::showError);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(m_list);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buildButtons());
    resize(900, 520);

    loadList();
}

CitationListScreen::~CitationListScreen() = default;

QLayout* CitationListScreen::buildButtons()
{
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    const struct {
        Button index;
        const char* caption;
        const char* tip;
        void (CitationListScreen::*slot)();
    } specs[] = {{PrintButton, "Print", "", &CitationListScreen::showReport},
                 {HelpButton, "", "Help", &CitationListScreen::showHelp},
                 {CloseButton, "&Close", "Close", nullptr}};
    for (const auto& b : specs) {
        auto* button = new QPushButton(QLatin1String(b.caption), this);
        button->setObjectName(QStringLiteral("Cmd0010(%1)").arg(int(b.index)));
        button->setAutoDefault(false);
        if (*b.tip)
            button->setToolTip(QLatin1String(b.tip));
        if (b.index == HelpButton)
            button->setIcon(Icons::icon(QStringLiteral("help")));
        if (b.slot)
            connect(button, &QPushButton::clicked, this, b.slot);
        else
            connect(button, &QPushButton::clicked, this, &QWidget::close);
        buttons->addWidget(button);
    }
    return buttons;
}

void CitationListScreen::loadList()
{
    Hourglass busy;
    Error error = m_session.error();
    if (!error)
        error = m_model->reload();
    fitIdColumn();
    busy.release();
    if (error)
        showError(error);
}

void CitationListScreen::fitIdColumn()
{
    // Only the ids are known without reading rows: the largest one is measured, with the widest digit in
    // each place, since the digits of a font need not all be as wide.
    const QString largest = QString::number(m_model->largestCaseId());
    QStyleOptionViewItem option;
    option.initFrom(m_list);
    option.font = m_list->font();
    option.fontMetrics = m_list->fontMetrics();
    option.features = QStyleOptionViewItem::HasDisplay;
    option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    int width = m_list->header()->sectionSizeHint(0);
    for (const QString& text :
         {largest, QString(largest.size(), QLatin1Char('0')), QString(largest.size(), QLatin1Char('8'))}) {
        option.text = text;
        width = std::max(width,
                         m_list->style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), m_list).width());
    }
    m_list->header()->resizeSection(0, width);
}

void CitationListScreen::showHelp()
{
    if (m_helpHandler)
        m_helpHandler(this, m_ctx.programDir, kHelpContext);
}

void CitationListScreen::showReport()
{
    Hourglass busy;
    const CitationListQuery query(m_session);
    Result<QList<qint64>> ids = m_session.error() ? Result<QList<qint64>>(m_session.error()) : query.listingCaseIds();
    if (!ids) {
        busy.release();
        showError(ids.error());
        return;
    }
    // The report reads its rows again each time it is laid out or painted, a block at a time.
    const QList<qint64> cases = *ids;
    CitationListingReport report(CitationListQuery::listingHeader(m_today), int(cases.size()),
                                 [query, cases](int from, const std::function<bool(int, const QStringList&)>& fn) {
                                     const Error error = query.eachListingRow(cases, fn, from);
                                     if (!error || !error.description.isEmpty())
                                         return error;
                                     return Error::of(error.kind, QStringLiteral("The citations could not be read."));
                                 });
    busy.release();
    // The preview says so itself when there is nothing to list.
    if (m_reportHandler)
        m_reportHandler(this, report);
}

void CitationListScreen::openCitation(const QModelIndex& index)
{
    if (m_model->rowCount() == 0 || !index.isValid())
        return;
    const qint64 caseId = m_model->caseIdAt(index.row());
    Hourglass busy;
    CitationScreen screen(m_ctx, CitationScreen::Mode::ReadOnly, caseId, this);
    busy.release();
    screen.exec();
}

void CitationListScreen::showError(const Error& error)
{
    MessageBox::information(this, error.description);
}
