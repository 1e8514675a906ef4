#include "regengine/core/SmartFile.h"

#include "platform/shell/Shell.h"

#include <QFileInfo>

namespace engine {

SmartFile::~SmartFile() = default;

bool SmartFile::SetFilePath(const QString& path)
{
    if (path.isNull())
        return false;
    path_ = path;
    return true;
}

bool SmartFile::Exists()
{
    if (path_.isEmpty())
        return false;
    const QFileInfo info(path_);
    if (!info.isFile())
        return false;
    const QFile::Permissions mode = info.permissions();
    writable_ = (mode & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)) != 0;
    return true;
}

QString EngineFolder()
{
    return platform::folderPath(platform::Folder::AppData, QStringLiteral("Quenmark/Veldora"), true);
}

QString GetDataFolderPath(const QString& subPath)
{
    return platform::folderPath(platform::Folder::AppData, subPath, false);
}

}  // namespace engine
