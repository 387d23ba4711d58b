#include "gui/common/hourglass.h"

#include <QCursor>
#include <QGuiApplication>

Hourglass::Hourglass()
{
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

Hourglass::~Hourglass()
{
    release();
}

void Hourglass::release()
{
    if (m_active) {
        m_active = false;
        QGuiApplication::restoreOverrideCursor();
    }
}
