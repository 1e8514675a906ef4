#include "launcher/update/UpdateFolder.h"

#include <QMutex>
#include <QMutexLocker>

namespace launcher {

namespace {

// The update's thread sets it while the window's thread may read it.
QMutex& lock()
{
    static QMutex mutex;
    return mutex;
}

QString& folder()
{
    static QString remembered;
    return remembered;
}

}  // namespace

QString RememberedUpdateFolder()
{
    QMutexLocker locker(&lock());
    return folder();
}

void RememberUpdateFolder(const QString& path)
{
    QMutexLocker locker(&lock());
    folder() = path;
}

}  // namespace launcher
