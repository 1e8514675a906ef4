// Any bytes as a WQL query (UTF-8). What the parser takes names a class and properties that
// the text holds.
#include "platform/wmi/WqlQuery.h"

#include <cstdint>
#include <cstdlib>

using namespace platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<WqlQuery> query = parseWql(text);
    if (!query)
        return 0;
    if (query->className.isEmpty() || !text.contains(query->className, Qt::CaseInsensitive))
        std::abort();
    for (const QString& property : query->properties)
        if (property.isEmpty() || !text.contains(property, Qt::CaseInsensitive))
            std::abort();
    if (query->where &&
        (query->where->property.isEmpty() || !text.contains(query->where->property, Qt::CaseInsensitive)))
        std::abort();
    return 0;
}
