#include "regengine/core/QmList.h"

#include "platform/ui/Ui.h"

#include <QString>

namespace engine {

void QmListOutOfMemory()
{
    platform::messageBox(QStringLiteral("You are out of memory"), QString(), platform::mb::Ok);
    throw -1;
}

}  // namespace engine
