#include "regengine/core/QmList.h"

#include "platform/ui/Ui.h"

#include <QString>

void QmListOutOfMemory()
{
    platform::messageBox(QStringLiteral("You are out of memory"), QString(), platform::mb::Ok);
    throw -1;
}
