#pragma once

#include "gui/common/message_box.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <QWidget>

#include <functional>

// Finds a child by object name. When it is missing the current test fails, saying which one, and null comes
// back; the rest of the test program goes on.
template <typename T> T* findOrFail(QObject* parent, const QString& name, const char* file, int line)
{
    T* child = parent ? parent->findChild<T*>(name) : nullptr;
    if (!child)
        QTest::qFail(qPrintable(QStringLiteral("no child named %1").arg(name)), file, line);
    return child;
}

// Declares `var` as the child of `parent` named `name`, or fails the test and returns from it.
#define LEX_FIND(var, Type, parent, name)                                                                              \
    Type* var = findOrFail<Type>(parent, name, __FILE__, __LINE__);                                                    \
    if (!var)                                                                                                          \
    return

// Waits, while events are processed, until the condition holds or the time is up; whether it held.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

inline QStringList shownTexts()
{
    QStringList texts;
    for (const MessageBox::Shown& m : MessageBox::shown())
        texts << m.text;
    return texts;
}
