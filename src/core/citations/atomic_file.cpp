#include "core/citations/atomic_file.h"

#include <QDir>
#include <QSaveFile>

Error writeFileAtomically(const QString& path, const QByteArray& bytes)
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
        return {};
    file.cancelWriting();
    return Error::of(Error::Kind::Io,
                     QStringLiteral("Could not write %1: %2").arg(QDir::toNativeSeparators(path), problem));
}
