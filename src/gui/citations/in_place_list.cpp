#include "gui/citations/in_place_list.h"

#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTreeWidget>

#include <algorithm>

namespace {
constexpr int kNumberColumn = 0;
constexpr int kNameColumn = 1;
} // namespace

InPlaceList::InPlaceList(QTreeWidget* list, QComboBox* chooser, QLineEdit* editor, Columns columns, bool removable,
                         QObject* parent)
    : QObject(parent)
    , m_list(list)
    , m_chooser(chooser)
    , m_editor(editor)
    , m_columns(columns)
    , m_removable(removable)
{
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setAllColumnsShowFocus(true);
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
    for (QWidget* w : {static_cast<QWidget*>(m_chooser), static_cast<QWidget*>(m_editor)}) {
        if (!w)
            continue;
        w->setParent(m_list->viewport());
        w->hide();
    }
    if (m_chooser)
        connect(m_chooser, qOverload<int>(&QComboBox::currentIndexChanged), this, &InPlaceList::chosen);
    if (m_editor)
        connect(m_editor, &QLineEdit::textEdited, this, &InPlaceList::typed);

    // An editor left in place while the rows move would sit over another row.
    connect(m_list->verticalScrollBar(), &QScrollBar::valueChanged, this, &InPlaceList::hideEditors);
    connect(m_list->horizontalScrollBar(), &QScrollBar::valueChanged, this, &InPlaceList::hideEditors);
    connect(m_list->header(), &QHeaderView::sectionResized, this, &InPlaceList::place);
}

int InPlaceList::rowHeight() const
{
    int height = m_list->fontMetrics().height() + 6;
    if (m_chooser)
        height = std::max(height, m_chooser->sizeHint().height());
    if (m_editor)
        height = std::max(height, m_editor->sizeHint().height());
    return height;
}

void InPlaceList::clear()
{
    hideEditors();
    m_list->clear();
}

QTreeWidgetItem* InPlaceList::appendRow(const QStringList& texts)
{
    const int count = m_list->topLevelItemCount();
    const int last = count == 0 ? 0 : m_list->topLevelItem(count - 1)->text(kNumberColumn).toInt();
    auto* item = new QTreeWidgetItem(QStringList{QString::number(last + 1)} + texts);
    // Rows as tall as the editors laid over them.
    item->setSizeHint(kNumberColumn, QSize(0, rowHeight()));
    m_list->addTopLevelItem(item);
    return item;
}

QList<QStringList> InPlaceList::rows() const
{
    QList<QStringList> out;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_list->topLevelItem(i);
        QStringList texts;
        for (int c = kNameColumn; c < m_list->columnCount(); ++c)
            texts << item->text(c);
        out << texts;
    }
    return out;
}

void InPlaceList::addRowForEditing()
{
    if (m_readOnly || !m_chooser)
        return;
    hideEditors();
    QStringList texts;
    for (int c = kNameColumn; c < m_list->columnCount(); ++c) {
        if (c == kNameColumn)
            texts << m_chooser->itemText(0);
        else if (c == m_columns.id)
            texts << QString::number(m_chooser->itemData(0).toLongLong());
        else
            texts << QString();
    }
    QTreeWidgetItem* item = appendRow(texts);
    m_list->setCurrentItem(item);
    m_list->scrollToItem(item);
    openEditors(true);
}

void InPlaceList::removeSelectedRow()
{
    if (m_readOnly || !m_removable)
        return;
    QTreeWidgetItem* item = m_list->currentItem();
    if (!item)
        return;
    hideEditors();
    delete item;
    renumber();
    if (m_list->topLevelItemCount() == 0) {
        if (m_chooser) {
            const QSignalBlocker quiet(m_chooser);
            m_chooser->setCurrentIndex(0);
        }
        return;
    }
    if (QTreeWidgetItem* current = m_list->currentItem())
        current->setSelected(true);
    openEditors(false);
}

void InPlaceList::renumber()
{
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        m_list->topLevelItem(i)->setText(kNumberColumn, QString::number(i + 1));
}

void InPlaceList::openEditors(bool focus)
{
    hideEditors();
    QTreeWidgetItem* item = m_list->currentItem();
    if (m_readOnly || !item || item->text(kNumberColumn).isEmpty())
        return;
    m_item = item;
    if (m_chooser) {
        // The row's entry by its id; a name no longer in the list leaves "(None)" showing but the row untouched.
        const QSignalBlocker quiet(m_chooser);
        const int index = m_chooser->findData(item->text(m_columns.id).toLongLong());
        m_chooser->setCurrentIndex(index < 0 ? 0 : index);
    }
    if (m_editor)
        m_editor->setText(item->text(m_columns.editor));
    place();
    if (!focus)
        return;
    QWidget* first = m_chooser ? static_cast<QWidget*>(m_chooser) : m_editor;
    if (first && first->isVisible())
        first->setFocus();
}

void InPlaceList::place()
{
    if (!m_item)
        return;
    const QRect row = m_list->visualItemRect(m_item);
    // Only where the whole row is in view.
    if (!row.isValid() || row.top() < 0 || row.bottom() >= m_list->viewport()->height()) {
        if (m_chooser)
            m_chooser->hide();
        if (m_editor)
            m_editor->hide();
        return;
    }
    const auto put = [&](QWidget* w, int column) {
        if (!w)
            return;
        const QHeaderView* header = m_list->header();
        w->setGeometry(header->sectionViewportPosition(column), row.top(), header->sectionSize(column), row.height());
        w->show();
        w->raise();
    };
    put(m_chooser, kNameColumn);
    put(m_editor, m_columns.editor);
}

void InPlaceList::hideEditors()
{
    m_item = nullptr;
    if (m_chooser)
        m_chooser->hide();
    if (m_editor)
        m_editor->hide();
}

bool InPlaceList::editorsVisible() const
{
    return (m_chooser && m_chooser->isVisible()) || (m_editor && m_editor->isVisible());
}

void InPlaceList::chosen(int index)
{
    if (!m_item || index < 0)
        return;
    m_item->setText(kNameColumn, m_chooser->itemText(index));
    m_item->setText(m_columns.id, QString::number(m_chooser->itemData(index).toLongLong()));
}

void InPlaceList::typed(const QString& text)
{
    if (m_item)
        m_item->setText(m_columns.editor, text);
}

bool InPlaceList::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list) {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Delete && m_removable && !m_readOnly) {
                removeSelectedRow();
                return true;
            }
        } else if (event->type() == QEvent::KeyRelease) {
            const auto* key = static_cast<QKeyEvent*>(event);
            // The bench is walked with its editor, not with the arrow keys.
            if (m_chooser && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) && !key->isAutoRepeat())
                openEditors(false);
        }
    } else if (watched == m_list->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            // What the editors hold is in their row already; they move with the new selection.
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
                hideEditors();
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && m_list->currentItem() &&
                m_list->visualItemRect(m_list->currentItem())
                    .contains(static_cast<QMouseEvent*>(event)->position().toPoint()))
                // A name is typed straight away; a chooser waits for its own click.
                openEditors(!m_chooser);
            break;
        case QEvent::Resize:
            // The stretched columns take their new widths after the viewport has its size.
            QMetaObject::invokeMethod(this, &InPlaceList::place, Qt::QueuedConnection);
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}
