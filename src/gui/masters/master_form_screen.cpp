#include "gui/masters/master_form_screen.h"

#include "gui/common/help_access.h"
#include "gui/common/hourglass.h"
#include "gui/common/icons.h"
#include "gui/common/message_box.h"

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
                                   const QString& frameKind, const QString& listKind, const QList<ButtonText>& buttons,
                                   QWidget* parent)
    : QDialog(parent)
    , m_ctx(ctx)
    , m_store(ctx, kind)
{
    m_hooks.help = [this](QWidget* owner, const QString& programDir, int contextId) {
        HelpAccess(m_help).showScreenHelp(owner, programDir, contextId);
    };
    const MasterTable& t = table();
    setObjectName(QStringLiteral("CS06") + number + QStringLiteral("01"));
    setWindowTitle(t.caption);
    setModal(true);

    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(QStringLiteral("TS") + number);
    m_tabs->addTab(t.caption);

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
    idLabel->setBuddy(m_ids);
    nameLabel->setBuddy(m_name);
    auto* fields = new QGridLayout(m_frame);
    fields->addWidget(idLabel, 0, 0);
    fields->addWidget(m_ids, 0, 1);
    fields->addWidget(nameLabel, 1, 0);
    fields->addWidget(m_name, 1, 1);
    fields->setColumnStretch(1, 1);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(listKind + number);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setMinimumWidth(kListWidth);
    resetList();

    auto* buttonRow = new QHBoxLayout;
    for (int i = 0; i < buttons.size(); ++i) {
        auto* button = new QPushButton(buttons.at(i).caption, this);
        button->setObjectName(arrayName(QStringLiteral("Cmd") + number, i));
        button->setToolTip(buttons.at(i).toolTip);
        button->setAutoDefault(false);
        if (buttons.at(i).caption.isEmpty()) {
            const bool help = buttons.at(i).toolTip == QLatin1String("Help");
            button->setIcon(Icons::icon(help ? QStringLiteral("help") : QStringLiteral("print")));
            button->setAccessibleName(buttons.at(i).toolTip);
        }
        buttonRow->addWidget(button);
        m_buttons << button;
    }

    auto* page = new QVBoxLayout(this);
    page->addWidget(m_tabs);
    page->addWidget(m_frame);
    page->addWidget(m_list, 1);
    page->addLayout(buttonRow);
    // Typing goes straight into the name.
    m_name->setFocus();
}

qint64 MasterFormScreen::selectedId() const
{
    return m_ids->currentText().toLongLong();
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

void MasterFormScreen::showHelp()
{
    if (m_hooks.help)
        m_hooks.help(this, m_ctx.programDir, table().helpContext);
}

DbError MasterFormScreen::showReport(Hourglass& busy)
{
    return m_hooks.showReport(this, m_store, busy);
}

DbError MasterFormScreen::fillIdCombo()
{
    DbError error;
    const QList<qint64> ids = m_store.ids(&error);
    if (error)
        return error;
    const std::optional<qint64> next = m_store.nextId(&error);
    if (error)
        return error;
    const QSignalBlocker quiet(m_ids);
    m_ids->clear();
    for (qint64 id : ids)
        m_ids->addItem(QString::number(id));
    m_ids->addItem(QString::number(*next));
    m_ids->setCurrentIndex(m_ids->count() - 1);
    return {};
}

DbError MasterFormScreen::loadSelectedName()
{
    DbError error;
    const QString name = m_store.nameOf(selectedId(), &error);
    m_name->clear();
    if (!name.isEmpty())
        m_name->setText(name);
    return error;
}

DbError MasterFormScreen::addTypedName()
{
    const MasterResult result = m_store.add(selectedId(), m_name->text());
    if (result.outcome == MasterResult::Outcome::Duplicate)
        MessageBox::information(this, table().addDuplicate);
    return result.error;
}

DbError MasterFormScreen::renameToTypedName()
{
    // A row deleted meanwhile changes nothing; the reloaded lists then show it gone.
    const MasterResult result = m_store.rename(selectedId(), m_name->text());
    if (result.outcome == MasterResult::Outcome::Duplicate)
        MessageBox::information(this, table().modifyDuplicate);
    return result.error;
}

MasterResult MasterFormScreen::removeSelected()
{
    const MasterResult result = m_store.remove(selectedId());
    if (result.outcome == MasterResult::Outcome::InUse)
        MessageBox::information(this, QStringLiteral("Can not delete selected record as its reference is used in "
                                                     "Citation."));
    return result;
}

bool MasterFormScreen::refuseEmptyName()
{
    if (!m_name->text().trimmed().isEmpty())
        return false;
    MessageBox::information(this, table().emptyName);
    return true;
}

bool MasterFormScreen::confirmDelete()
{
    const QString question = QStringLiteral("Do you want to delete '") + m_name->text() + table().deleteQuestionEnd;
    return MessageBox::question(this, question) == MessageBox::Answer::Yes;
}

void MasterFormScreen::setEntryButtons(bool newEntry, int add, int modify, int remove)
{
    m_buttons.at(add)->setEnabled(newEntry);
    m_buttons.at(modify)->setEnabled(!newEntry);
    m_buttons.at(remove)->setEnabled(!newEntry);
}

void MasterFormScreen::idPicked()
{
    Hourglass busy;
    if (const DbError error = selectedIdChanged()) {
        busy.release();
        MasterScreenHooks::showError(this, error);
    }
}

void MasterFormScreen::finishAction(Hourglass& busy, const DbError& error)
{
    if (error) {
        busy.release();
        MasterScreenHooks::showActionError(this, error);
    }
}
