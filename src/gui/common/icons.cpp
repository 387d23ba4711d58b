#include "gui/common/icons.h"

static void initResources()
{
    // The resources live in a static library, so nothing registers them unless asked.
    static const bool done = [] {
        Q_INIT_RESOURCE(lexorium);
        return true;
    }();
    Q_UNUSED(done);
}

QString Icons::path(const QString& name)
{
    initResources();
    return QStringLiteral(":/icons/%1.png").arg(name);
}

QIcon Icons::icon(const QString& name)
{
    return QIcon(path(name));
}

QList<int> Icons::applicationIconSizes()
{
    return {16, 22, 24, 32, 48, 64, 128, 256};
}

QIcon Icons::applicationIcon()
{
    initResources();
    QIcon icon;
    for (int size : applicationIconSizes())
        icon.addFile(QStringLiteral(":/app/lexorium-%1.png").arg(size), QSize(size, size));
    return icon;
}
