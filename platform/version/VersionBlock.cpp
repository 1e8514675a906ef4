#include "platform/version/VersionBlock.h"

namespace platform {

void VersionBlock::setString(const QString& translation, const QString& name, const QString& value)
{
    values_.insert(QStringLiteral("\\StringFileInfo\\%1\\%2").arg(translation, name).toLower(), value);
}

std::optional<QString> VersionBlock::queryValue(const QString& path) const
{
    const auto it = values_.constFind(path.toLower());
    if (it == values_.cend())
        return std::nullopt;
    return *it;
}

}  // namespace platform
