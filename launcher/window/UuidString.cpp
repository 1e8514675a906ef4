#include "launcher/window/UuidString.h"

#include <uuid/uuid.h>

namespace launcher {

std::optional<QString> CreateUuidString()
{
    uuid_t id;
    uuid_generate_random(id);
    if (uuid_is_null(id))
        return std::nullopt;
    char text[37] = {};
    uuid_unparse_lower(id, text);
    const QString result = QString::fromLatin1(text);
    if (result.size() != 36)
        return std::nullopt;
    return result;
}

}  // namespace launcher
