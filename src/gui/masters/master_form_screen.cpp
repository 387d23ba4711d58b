#include "gui/masters/master_form_screen.h"

#include "gui/common/hourglass.h"
#include "gui/common/icons.h"
#include "gui/common/message_box.h"
#include "gui/common/screen_hooks.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
// The list's widths were laid out in twips, 15 to a pixel.
constexpr int kTwipsPerPixel = 15;
constexpr int kListWidth = 6600 / kTwipsPerPixel;
constexpr int kIdColumnWidth = 700 / kTwipsPerPixel;
constexpr int kNameColumnWidth = kListWidth - 1200 / kTwipsPerPixel;

QString arrayName(const QString& name, int index)
{
    return name + QLatin1Char('(') + QString::number(index) + QLatin1Char(')');
}
} // namespace

MasterFormScreen::MasterFormScreen(const DbContext& ctx, MasterKind kind, const QString& number,
                                   const QString& frameKind, const QString& listKind, const QList<Button>& buttons,
                                   QWidget* parent)
    : QDialog(parent)
    , m_ctx(ctx)
    , m_session(ctx)
    , m_store(m_session, kind)
{
    m_hooks.help = ScreenHooks::helpViewer(m_help);
    m_hooks.today = ScreenHooks::systemClock();
    const MasterTable& t = table();
    setObjectName(QStringLiteral("CS06") + number + QStringLiteral("01"));
    setWindowTitle(t.caption);
    setModal(true);

    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(QStringLiteral("TS") + number);
    m_tabs->addTab(t.caption);
    buildFrame(number, frameKind);
    buildList(number, listKind);
    QLayout* buttonRow = buildButtons(number, buttons);
    connect(m_ids, qOverload<int>(&QComboBox::currentIndexChanged), this, &MasterFormScreen::onIdChosen);
    connect(m_list, &QTreeWidget::itemClicked, this, &MasterFormScreen::onListClicked);

    auto* page = new QVBoxLayout(this);
    page->addWidget(m_tabs);
    page->addWidget(m_frame);
    page->addWidget(m_list, 1);
    page->addLayout(buttonRow);
    // Typing goes straight into the name.
    m_name->setFocus();
}

// The frame with the id combo and the name box.
void MasterFormScreen::buildFrame(const QString& number, const QString& frameKind)
{
    const MasterTable& t = table();
    m_frame = new QFrame(this);
    m_frame->setObjectName(frameKind + number);
    m_frame->setFrameShape(QFrame::StyledPanel);
    auto* idLabel = new QLabel(QStringLiteral("Id"), m_frame);
    idLabel->setObjectName(arrayName(QStringLiteral("Lbl") + number, 0));
    m_ids = new QComboBox(m_frame);
    m_ids->setObjectName(QStringLiteral("Cbo") + number);
    m_ids->setEditable(false);
    auto* nameLabel = new QLabel(t.nameLabel, m_frame);
    nameLabel->setObjectName(arrayName(QStringLiteral("Lbl") + number, 1));
    m_name = new QLineEdit(m_frame);
    m_name->setObjectName(QStringLiteral("Txt") + number);
    // No longer than the column, so the engine never has to refuse a name for its length.
    if (t.maxNameLength > 0)
        m_name->setMaxLength(t.maxNameLength);
    idLabel->setBuddy(m_ids);
    nameLabel->setBuddy(m_name);
    auto* fields = new QGridLayout(m_frame);
    fields->addWidget(idLabel, 0, 0);
    fields->addWidget(m_ids, 0, 1);
    fields->addWidget(nameLabel, 1, 0);
    fields->addWidget(m_name, 1, 1);
    fields->setColumnStretch(1, 1);
}

void MasterFormScreen::buildList(const QString& number, const QString& listKind)
{
    m_list = new QTreeWidget(this);
    m_list->setObjectName(listKind + number);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setMinimumWidth(kListWidth);
    resetList();
}

// The buttons in the screen's order, numbered in it, each to its own action.
QLayout* MasterFormScreen::buildButtons(const QString& number, const QList<Button>& buttons)
{
    auto* buttonRow = new QHBoxLayout;
    for (int i = 0; i < buttons.size(); ++i) {
        const Button& b = buttons.at(i);
        auto* button = new QPushButton(b.caption, this);
        button->setObjectName(arrayName(QStringLiteral("Cmd") + number, i));
        button->setToolTip(b.toolTip);
        button->setAutoDefault(false);
        if (b.caption.isEmpty()) {
            button->setIcon(Icons::icon(b.action == Action::Help ? QStringLiteral("help") : QStringLiteral("print")));
            button->setAccessibleName(b.toolTip);
        }
        connectButton(button, b.action);
        buttonRow->addWidget(button);
        m_buttons << button;
        m_actions << b.action;
    }
    return buttonRow;
}

void MasterFormScreen::connectButton(QPushButton* button, Action action)
{
    using Slot = void (MasterFormScreen::*)();
    // In the order of Action.
    static const Slot actionSlots[] = {&MasterFormScreen::reject,          &MasterFormScreen::onAddClicked,
                                       &MasterFormScreen::onModifyClicked, &MasterFormScreen::onDeleteClicked,
                                       &MasterFormScreen::showHelp,        &MasterFormScreen::onPrintClicked};
    connect(button, &QPushButton::clicked, this, actionSlots[int(action)]);
}

QString MasterFormScreen::recordGoneMessage()
{
    return MasterStore::goneMessage();
}

void MasterFormScreen::loadOnOpen()
{
    Hourglass busy;
    if (const Error error = reloadOrLock(Reload::All)) {
        busy.release();
        MasterScreenHooks::showError(this, error);
    }
}

void MasterFormScreen::onAddClicked()
{
    runAction([this](Hourglass&) { return addRow(); });
}

void MasterFormScreen::onModifyClicked()
{
    runAction([this](Hourglass&) { return renameRow(); });
}

void MasterFormScreen::onDeleteClicked()
{
    runAction([this](Hourglass&) { return deleteRow(); });
}

void MasterFormScreen::onPrintClicked()
{
    runAction([this](Hourglass& busy) { return m_hooks.showReport(this, m_store, busy); });
}

void MasterFormScreen::showHelp()
{
    Hourglass busy;
    if (m_hooks.help)
        m_hooks.help(this, m_ctx.programDir, table().helpContext);
}

void MasterFormScreen::runAction(const std::function<Error(Hourglass& busy)>& action)
{
    // After a failed read the screen holds nothing it may write or print from.
    if (!m_loaded)
        return;
    Hourglass busy;
    if (const Error error = action(busy)) {
        busy.release();
        MasterScreenHooks::showActionError(this, error);
    }
}

void MasterFormScreen::onIdChosen()
{
    if (!m_loaded)
        return;
    Hourglass busy;
    const Error error = showSelectedName();
    if (error)
        lock();
    showEntryState();
    if (error) {
        busy.release();
        MasterScreenHooks::showError(this, error);
    }
}

void MasterFormScreen::onListClicked()
{
    const QTreeWidgetItem* item = m_list->currentItem();
    if (!m_loaded || m_list->topLevelItemCount() == 0 || !item)
        return;
    selectFromList(*item);
}

std::optional<qint64> MasterFormScreen::selectedId() const
{
    // Only entries read from the table carry their id; the proposed next id carries none.
    const QVariant id = m_ids->currentData();
    if (!id.isValid())
        return std::nullopt;
    return id.toLongLong();
}

bool MasterFormScreen::selectRow(qint64 id)
{
    const QSignalBlocker quiet(m_ids);
    const int index = m_ids->findData(id);
    if (index >= 0)
        m_ids->setCurrentIndex(index);
    return index >= 0;
}

void MasterFormScreen::addComboRow(qint64 id)
{
    m_ids->addItem(QString::number(id), id);
}

void MasterFormScreen::resetList()
{
    m_list->clear();
    m_list->setHeaderLabels({QStringLiteral("Id"), table().nameLabel});
    m_list->setColumnWidth(0, kIdColumnWidth);
    m_list->setColumnWidth(1, kNameColumnWidth);
}

void MasterFormScreen::addListItem(const MasterRow& row)
{
    auto* item = new QTreeWidgetItem(m_list, {QString::number(row.id), row.name});
    item->setData(0, Qt::UserRole, row.id);
}

QPushButton* MasterFormScreen::button(Action action) const
{
    const int index = m_actions.indexOf(action);
    return index >= 0 ? m_buttons.at(index) : nullptr;
}

void MasterFormScreen::showEntryState()
{
    const bool newEntry = !selectedId().has_value();
    button(Action::Add)->setEnabled(m_loaded && newEntry);
    button(Action::Modify)->setEnabled(m_loaded && !newEntry);
    button(Action::Delete)->setEnabled(m_loaded && !newEntry);
}

void MasterFormScreen::lock()
{
    m_loaded = false;
    for (QPushButton* b : std::as_const(m_buttons))
        b->setEnabled(false);
    button(Action::Close)->setEnabled(true);
    button(Action::Help)->setEnabled(true);
    m_ids->setEnabled(false);
    m_name->setEnabled(false);
    m_list->setEnabled(false);
}

Error MasterFormScreen::reloadOrLock(Reload what)
{
    const Error error = reload(what);
    if (error)
        lock();
    return error;
}

Error MasterFormScreen::recordGone()
{
    if (Error error = reloadOrLock(Reload::All))
        return error;
    MessageBox::information(this, recordGoneMessage());
    return {};
}

Error MasterFormScreen::loadList()
{
    resetList();
    const Result<QList<MasterRow>> rows = m_store.rows();
    if (!rows)
        return rows.error();
    for (const MasterRow& row : *rows)
        addListItem(row);
    return {};
}

Error MasterFormScreen::loadIds()
{
    const Result<QList<qint64>> ids = m_store.ids();
    if (!ids)
        return ids.error();
    const Result<qint64> next = m_store.nextId();
    if (!next)
        return next.error();
    {
        const QSignalBlocker quiet(m_ids);
        m_ids->clear();
        for (qint64 id : *ids)
            addComboRow(id);
        m_ids->addItem(QString::number(*next));
        m_ids->setCurrentIndex(m_ids->count() - 1);
    }
    const Error error = showSelectedName();
    showEntryState();
    return error;
}

Error MasterFormScreen::showSelectedName()
{
    m_name->clear();
    const std::optional<qint64> id = selectedId();
    if (!id)
        return {};
    const Result<std::optional<QString>> name = m_store.nameOf(*id);
    if (!name)
        return name.error();
    if (*name)
        m_name->setText(**name);
    return {};
}

bool MasterFormScreen::refuseEmptyName()
{
    if (!m_name->text().trimmed().isEmpty())
        return false;
    MessageBox::information(this, table().emptyName);
    return true;
}

// A write the database refused leaves the screen as it was, the typed name included. A refused duplicate
// reloads as a success does, which empties the name box.
Error MasterFormScreen::addRow()
{
    if (refuseEmptyName())
        return {};
    const Result<qint64> added = m_store.add(m_name->text());
    if (!added) {
        if (added.error().kind != Error::Kind::Duplicate)
            return added.error();
        MessageBox::information(this, added.error().description);
    }
    const Error error = reloadOrLock(Reload::Added);
    m_name->setFocus();
    return error;
}

Error MasterFormScreen::renameRow()
{
    if (refuseEmptyName())
        return {};
    const std::optional<qint64> id = selectedId();
    if (!id)
        return {};
    const Error renamed = m_store.rename(*id, m_name->text());
    switch (renamed.kind) {
    case Error::Kind::None:
        break;
    case Error::Kind::NotFound:
        return recordGone();
    case Error::Kind::Duplicate:
        MessageBox::information(this, renamed.description);
        break;
    default:
        return renamed;
    }
    const Error error = reloadOrLock(Reload::Modified);
    button(Action::Close)->setFocus();
    return error;
}

Error MasterFormScreen::deleteRow()
{
    const std::optional<qint64> id = selectedId();
    if (!id)
        return {};
    // The question names the row that goes, whatever the name box says.
    const Result<std::optional<QString>> stored = m_store.nameOf(*id);
    if (!stored)
        return stored.error();
    if (!*stored)
        return recordGone();
    const QString question = QStringLiteral("Do you want to delete '") + **stored + table().deleteQuestionEnd;
    if (MessageBox::question(this, question, MessageBox::Answer::No) != MessageBox::Answer::Yes)
        return {};
    const Error removed = m_store.remove(*id);
    Error error;
    switch (removed.kind) {
    case Error::Kind::None:
        error = reloadOrLock(Reload::Deleted);
        break;
    case Error::Kind::NotFound:
        return recordGone();
    case Error::Kind::InUse:
        MessageBox::information(this, removed.description);
        error = reloadOrLock(Reload::DeleteRefused);
        break;
    default:
        return removed;
    }
    button(Action::Close)->setFocus();
    return error;
}
