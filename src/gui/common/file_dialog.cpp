#include "gui/common/file_dialog.h"

#include <QApplication>
#include <QCursor>
#include <QFileDialog>

#include <utility>

namespace {
struct Script {
    bool scripted = false;
    QList<std::pair<QString, QString>> names;
    QList<FileDialog::Asked> asked;
};

Script& script()
{
    static Script s;
    return s;
}
} // namespace

QString FileDialog::getSaveFileName(QWidget* parent, const QString& caption, const QString& directory,
                                    const QString& filter, QString* selectedFilter, ReplaceQuestion replaceQuestion)
{
    const bool dialogAsks = replaceQuestion == ReplaceQuestion::ByDialog;
    Script& s = script();
    s.asked.append({caption, filter, dialogAsks});
    if (s.scripted) {
        if (s.names.isEmpty())
            return {};
        const auto next = s.names.takeFirst();
        if (selectedFilter)
            *selectedFilter = next.second;
        return next.first;
    }
    // A dialog must never be shown under the hourglass.
    QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    const QString chosen =
        QFileDialog::getSaveFileName(parent, caption, directory, filter, selectedFilter,
                                     dialogAsks ? QFileDialog::Options() : QFileDialog::DontConfirmOverwrite);
    QApplication::restoreOverrideCursor();
    return chosen;
}

QString FileDialog::getOpenFileName(QWidget* parent, const QString& caption, const QString& directory,
                                    const QString& filter)
{
    Script& s = script();
    s.asked.append({caption, filter});
    if (s.scripted)
        return s.names.isEmpty() ? QString() : s.names.takeFirst().first;
    QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    const QString chosen = QFileDialog::getOpenFileName(parent, caption, directory, filter);
    QApplication::restoreOverrideCursor();
    return chosen;
}

void FileDialog::setScripted(bool scripted)
{
    script().scripted = scripted;
    script().names.clear();
}

bool FileDialog::isScripted()
{
    return script().scripted;
}

void FileDialog::setNextFileName(const QString& fileName, const QString& selectedFilter)
{
    script().names.append({fileName, selectedFilter});
}

const QList<FileDialog::Asked>& FileDialog::asked()
{
    return script().asked;
}

void FileDialog::clearAsked()
{
    script().asked.clear();
}
