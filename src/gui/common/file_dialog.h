#pragma once

#include <QList>
#include <QString>

class QWidget;

// Every file dialog the program shows goes through here, so tests can choose the file and read what was asked.
class FileDialog
{
public:
    struct Asked {
        QString caption;
        QString filter;
    };

    // The chosen file name, or empty when cancelled. selectedFilter receives the filter the user chose.
    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& directory,
                                   const QString& filter, QString* selectedFilter = nullptr);

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
