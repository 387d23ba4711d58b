#include "gui/common/help_window.h"

#include "gui/common/help_browser.h"
#include "gui/common/hourglass.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
constexpr int TopicRole = Qt::UserRole;

void addNodes(const QList<ChmFile::ContentsNode>& nodes, QTreeWidgetItem* parent, QTreeWidget* tree)
{
    for (const ChmFile::ContentsNode& node : nodes) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        item->setText(0, node.name);
        item->setData(0, TopicRole, node.local);
        addNodes(node.children, item, tree);
    }
}
} // namespace

HelpWindow::HelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("helpWindow"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(900, 600);

    m_tabs = new QTabWidget;
    m_tabs->setObjectName(QStringLiteral("helpTabs"));

    m_contents = new QTreeWidget;
    m_contents->setObjectName(QStringLiteral("helpContents"));
    m_contents->setHeaderHidden(true);
    connect(m_contents, &QTreeWidget::itemClicked, this, &HelpWindow::openTreeItem);
    connect(m_contents, &QTreeWidget::itemActivated, this, &HelpWindow::openTreeItem);
    m_tabs->addTab(m_contents, QStringLiteral("Contents"));

    auto* indexPage = new QWidget;
    auto* indexLayout = new QVBoxLayout(indexPage);
    indexLayout->addWidget(new QLabel(QStringLiteral("Type in the keyword to find:")));
    m_keyword = new QLineEdit;
    m_keyword->setObjectName(QStringLiteral("helpIndexKeyword"));
    indexLayout->addWidget(m_keyword);
    m_index = new QListWidget;
    m_index->setObjectName(QStringLiteral("helpIndex"));
    indexLayout->addWidget(m_index);
    connect(m_keyword, &QLineEdit::textEdited, this, &HelpWindow::findKeyword);
    connect(m_keyword, &QLineEdit::returnPressed, this, [this] { openListItem(m_index->currentItem()); });
    connect(m_index, &QListWidget::itemActivated, this, &HelpWindow::openListItem);
    m_tabs->addTab(indexPage, QStringLiteral("Index"));

    auto* searchPage = new QWidget;
    auto* searchLayout = new QVBoxLayout(searchPage);
    searchLayout->addWidget(new QLabel(QStringLiteral("Type in the word(s) to search for:")));
    auto* searchRow = new QHBoxLayout;
    m_searchText = new QLineEdit;
    m_searchText->setObjectName(QStringLiteral("helpSearchText"));
    auto* listTopics = new QPushButton(QStringLiteral("&List Topics"));
    listTopics->setObjectName(QStringLiteral("helpSearchButton"));
    searchRow->addWidget(m_searchText);
    searchRow->addWidget(listTopics);
    searchLayout->addLayout(searchRow);
    m_searchResults = new QListWidget;
    m_searchResults->setObjectName(QStringLiteral("helpSearchResults"));
    searchLayout->addWidget(m_searchResults);
    connect(m_searchText, &QLineEdit::returnPressed, this, &HelpWindow::runSearch);
    connect(listTopics, &QPushButton::clicked, this, &HelpWindow::runSearch);
    connect(m_searchResults, &QListWidget::itemActivated, this, &HelpWindow::openListItem);
    m_tabs->addTab(searchPage, QStringLiteral("Search"));

    m_topic = new HelpBrowser;
    m_topic->setObjectName(QStringLiteral("helpTopic"));
    m_topic->setHelpFile(&m_file);

    auto* splitter = new QSplitter;
    splitter->addWidget(m_tabs);
    splitter->addWidget(m_topic);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({260, 640});
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(splitter);
}

Error HelpWindow::openFile(const QString& fileName)
{
    m_topic->clear();
    m_contents->clear();
    m_index->clear();
    m_searchResults->clear();
    if (Error e = m_file.open(fileName))
        return e;
    setWindowTitle(m_file.title().isEmpty() ? QStringLiteral("Lexorium Help") : m_file.title());
    fillContents();
    fillIndex();
    return {};
}

void HelpWindow::fillContents()
{
    addNodes(m_file.contents(), nullptr, m_contents);
}

void HelpWindow::fillIndex()
{
    for (const ChmFile::IndexEntry& entry : m_file.index()) {
        auto* item = new QListWidgetItem(entry.keyword, m_index);
        item->setData(TopicRole, entry.local);
    }
}

Error HelpWindow::showTopic(const QString& path)
{
    if (!m_file.contains(path))
        return Error::of(Error::Kind::NotFound, QStringLiteral("The topic %1 is not in the help file %2.")
                                                    .arg(ChmFile::normalisedPath(path).mid(1), m_file.fileName()));
    m_topic->setSource(HelpBrowser::topicUrl(path));
    return {};
}

QString HelpWindow::currentTopic() const
{
    return m_topic->source().path();
}

void HelpWindow::showTab(Tab tab)
{
    m_tabs->setCurrentIndex(static_cast<int>(tab));
    switch (tab) {
    case Tab::Contents:
        m_contents->setFocus();
        break;
    case Tab::Index:
        m_keyword->setFocus();
        break;
    case Tab::Search:
        m_searchText->setFocus();
        break;
    }
}

// An entry naming a topic the file lacks leaves the pane as it is.
void HelpWindow::openTreeItem(QTreeWidgetItem* item)
{
    if (item && !item->data(0, TopicRole).toString().isEmpty())
        showTopic(item->data(0, TopicRole).toString());
}

void HelpWindow::openListItem(QListWidgetItem* item)
{
    if (item && !item->data(TopicRole).toString().isEmpty())
        showTopic(item->data(TopicRole).toString());
}

// Like a printed index: typing moves to the first keyword that begins with the text.
void HelpWindow::findKeyword(const QString& text)
{
    for (int row = 0; row < m_index->count(); ++row) {
        if (m_index->item(row)->text().startsWith(text.trimmed(), Qt::CaseInsensitive)) {
            m_index->setCurrentRow(row);
            m_index->scrollToItem(m_index->item(row), QAbstractItemView::PositionAtTop);
            return;
        }
    }
}

void HelpWindow::runSearch()
{
    Hourglass hourglass;
    m_searchResults->clear();
    for (const ChmFile::SearchHit& hit : m_file.search(m_searchText->text())) {
        auto* item = new QListWidgetItem(hit.title, m_searchResults);
        item->setData(TopicRole, hit.local);
    }
    if (m_searchResults->count() > 0)
        m_searchResults->setCurrentRow(0);
}
