#pragma once

#include "gui/common/message_box.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

// Finds a child by object name or fails the test with a message that says which one was missing.
template <typename T> T* mustFind(QObject* parent, const QString& name)
{
    T* child = parent->findChild<T*>(name);
    if (!child)
        qFatal("no child named %s", qPrintable(name));
    return child;
}

inline QStringList shownTexts()
{
    QStringList texts;
    for (const MessageBox::Shown& m : MessageBox::shown())
        texts << m.text;
    return texts;
}
