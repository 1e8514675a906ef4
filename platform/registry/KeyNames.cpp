#include "platform/registry/KeyNames.h"

namespace platform::regkeys {

QString rootName(RootKey root)
{
    return root == RootKey::LocalMachine ? QStringLiteral("HKEY_LOCAL_MACHINE") : QStringLiteral("HKEY_CURRENT_USER");
}

QString normalizePath(const QString& path)
{
    return path.split(u'\\', Qt::SkipEmptyParts).join(u'\\');
}

bool storableName(const QString& name)
{
    if (!name.isValidUtf16())
        return false;
    for (QChar c : name)
        if (c == u'\r' || c == u'\n' || c == u'\0')
            return false;
    return true;
}

QString keyPathProblem(const QString& path)
{
    if (path.isEmpty())
        return {};
    qsizetype levels = 1;
    qsizetype nameStart = 0;
    for (qsizetype i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != u'\\')
            continue;
        if (i - nameStart > Hive::kMaxKeyNameLength)
            return QStringLiteral("key name '%1...' is longer than %2 characters")
                .arg(path.mid(nameStart, 20))
                .arg(Hive::kMaxKeyNameLength);
        if (i < path.size() && ++levels > Hive::kMaxKeyDepth)
            return QStringLiteral("key is nested deeper than %1 levels").arg(Hive::kMaxKeyDepth);
        nameStart = i + 1;
    }
    return {};
}

}  // namespace platform::regkeys
