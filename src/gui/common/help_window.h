#pragma once

#include "help/chm_file.h"

#include <QWidget>

class HelpBrowser;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

// The program's help viewer: contents, index and search tabs beside the topic pane, on one compiled help file.
class HelpWindow : public QWidget
{
    Q_OBJECT

public:
    enum class Tab { Contents = 0, Index = 1, Search = 2 };

    explicit HelpWindow(QWidget* parent = nullptr);

    // On failure the window keeps nothing of the file.
    Error openFile(const QString& fileName);
    QString fileName() const { return m_file.fileName(); }
    const ChmFile& helpFile() const { return m_file; }

    // NotFound when the file has no such topic; the pane then stays as it was.
    Error showTopic(const QString& path);
    QString currentTopic() const;
    void showTab(Tab tab);

private slots:
    void openTreeItem(QTreeWidgetItem* item);
    void openListItem(QListWidgetItem* item);
    void findKeyword(const QString& text);
    void runSearch();

private:
    void fillContents();
    void fillIndex();

    ChmFile m_file;
    QTabWidget* m_tabs = nullptr;
    QTreeWidget* m_contents = nullptr;
    QLineEdit* m_keyword = nullptr;
    QListWidget* m_index = nullptr;
    QLineEdit* m_searchText = nullptr;
    QListWidget* m_searchResults = nullptr;
    HelpBrowser* m_topic = nullptr;
};
