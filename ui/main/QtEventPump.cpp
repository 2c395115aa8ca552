#include "ui/main/QtEventPump.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace tervalo {

void QtEventPump::processEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtEventPump::waitForEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

} // namespace tervalo
