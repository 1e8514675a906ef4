#include "regengine/ui/graphics/BitmapResource.h"

#include "regengine/ui/graphics/CDIB.h"

#include "platform/resources/Resources.h"

namespace engine {

QImage LoadBitmapResource(const QString& module, const QString& name)
{
    const std::optional<QByteArray> bytes = platform::findResource(module, QStringLiteral("BITMAP"), name);
    if (!bytes)
        return {};
    CDIB packed(module);
    if (packed.LoadFromData(*bytes))
        return packed.Image();
    QImage image;
    image.loadFromData(*bytes);
    return image;
}

}  // namespace engine
