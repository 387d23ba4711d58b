#pragma once

#include <QObject>
#include <QStringList>

class QComboBox;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

// A list whose rows are edited in place: a chooser and/or a text editor laid over the row being edited, each at
// its column. Whatever is chosen or typed goes into the row at once, so the row always shows it. The editors hide
// when the list scrolls, and follow the row when the list or its columns change size.
//
// Column 0 holds the row number (1, 2, 3 ...). The chooser writes its text into column 1 and its item data (the
// master row's id) into idColumn; the editor writes into editorColumn.
class InPlaceList : public QObject
{
    Q_OBJECT

public:
    struct Columns {
        int id = -1;     // with a chooser
        int editor = -1; // with an editor
    };

    // chooser and editor may be null; both become children of the list's viewport. Rows can be removed with the
    // Delete key only when removable.
    InPlaceList(QTreeWidget* list, QComboBox* chooser, QLineEdit* editor, Columns columns, bool removable,
                QObject* parent = nullptr);

    QTreeWidget* list() const { return m_list; }

    // Read only: no editor opens, no row is added or removed.
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool isReadOnly() const { return m_readOnly; }

    void clear();
    // Appends a row numbered after the last one; texts fill columns 1 onwards.
    QTreeWidgetItem* appendRow(const QStringList& texts);
    // Each row's texts from column 1 on, in list order.
    QList<QStringList> rows() const;

    // A new row numbered after the last, chosen as "(None)", selected, scrolled into view and opened for editing
    // with the focus in its chooser.
    void addRowForEditing();
    // Removes the selected row, numbers the rest 1, 2, 3 ... and opens the editors on the new selection.
    void removeSelectedRow();
    // Opens the editors on the selected row (hidden when it is not fully in view); focus says whether the first
    // of them takes the focus.
    void openEditors(bool focus);
    void hideEditors();
    bool editorsVisible() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();
    void chosen(int index);
    void typed(const QString& text);
    void renumber();
    int rowHeight() const;

    QTreeWidget* m_list;
    QComboBox* m_chooser;
    QLineEdit* m_editor;
    Columns m_columns;
    bool m_removable;
    bool m_readOnly = false;
    // The row the editors are open on; null while they are hidden.
    QTreeWidgetItem* m_item = nullptr;
};
