#include "client/ResString.h"

#include "platform/resources/Resources.h"

namespace client {

QString ResString::Load(int id, std::initializer_list<platform::FormatArg> args)
{
    const QString text = platform::loadString(QStringLiteral("client"), id);
    return text.contains(u'%') ? platform::format(text, args) : text;
}

}  // namespace client
