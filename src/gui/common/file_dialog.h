#pragma once

#include <QList>
#include <QString>

class QWidget;

// Every file dialog the program shows goes through here, so tests can choose the file and read what was asked.
class FileDialog
{
public:
    // Who asks before an existing file is replaced: the dialog itself, or the program after it (which then asks
    // about the name it really writes), never both.
    enum class ReplaceQuestion { ByDialog, ByProgram };

    struct Asked {
        QString caption;
        QString filter;
        // Whether the dialog itself asked before a chosen file that exists was replaced.
        bool dialogAsksToReplace = true;
    };

    // The chosen file name, or empty when cancelled. selectedFilter receives the filter the user chose.
    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& directory,
                                   const QString& filter, QString* selectedFilter = nullptr,
                                   ReplaceQuestion replaceQuestion = ReplaceQuestion::ByDialog);

    // The chosen existing file, or empty when cancelled.
    static QString getOpenFileName(QWidget* parent, const QString& caption, const QString& directory,
                                   const QString& filter);

    // Test seam: while scripted, no dialog is drawn; each call takes the next queued name (empty, i.e. cancel,
    // when none is queued) and, when given, its filter.
    static void setScripted(bool scripted);
    static bool isScripted();
    static void setNextFileName(const QString& fileName, const QString& selectedFilter = QString());
    static const QList<Asked>& asked();
    static void clearAsked();
};
