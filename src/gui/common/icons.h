#pragma once

#include <QIcon>

// The program's pictures, from its resources: "act", "category", "court", "add-citation", "view-citation",
// "find-citation", "help", "print", "about".
class Icons
{
public:
    static QIcon icon(const QString& name);
    static QString path(const QString& name);
    // The program's own icon, in every size drawn for it; the desktop entry names the same picture.
    static QIcon applicationIcon();
    static QList<int> applicationIconSizes();
};
