#include "core/citations/atomic_file.h"

#include <QDir>
#include <QSaveFile>

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    // Never fall back to writing in place: that would leave a half-written file on failure.
    file.setDirectWriteFallback(false);
    QString problem;
    if (!file.open(QIODevice::WriteOnly))
        problem = file.errorString();
    else if (file.write(bytes) != bytes.size())
        problem = file.errorString();
    else if (!file.commit())
        problem = file.errorString();
    if (problem.isEmpty())
        return true;
    file.cancelWriting();
    if (error)
        *error = QStringLiteral("Could not write %1: %2").arg(QDir::toNativeSeparators(path), problem);
    return false;
}
