#include "regengine/core/Attachment.h"

#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"

#include "platform/text/Ascii.h"

#include <QHash>

#include <vector>

namespace engine {

namespace {

// Both maps are keyed by lower-cased names. Every instance ever made is kept in `made`, so a
// hook never outlives the attachment it names.
struct AttachmentRegistry {
    QHash<QString, Attachment*> types;
    QHash<QString, Attachment*> instances;
    std::vector<std::unique_ptr<Attachment>> made;
};

AttachmentRegistry& registry()
{
    static AttachmentRegistry r;
    return r;
}

}  // namespace

Attachment::~Attachment() = default;

bool Attachment::Receive(Attachable* attachable, quint32 event)
{
    if ((event & GetEventMask()) == 0)
        return false;
    return ExecuteSelf(attachable, event);
}

void Attachment::RegisterType(const QString& typeName, Attachment* prototype)
{
    if (prototype != nullptr)
        registry().types.insert(platform::asciiLower(typeName), prototype);
}

void Attachment::UnregisterType(const QString& typeName, const Attachment* prototype)
{
    AttachmentRegistry& r = registry();
    const QString key = platform::asciiLower(typeName);
    if (r.types.value(key) == prototype)
        r.types.remove(key);
}

std::unique_ptr<Attachment> Attachment::Instantiate(const Attachment& prototype, const QString& name,
                                                    QmStrStream& stream)
{
    std::unique_ptr<Attachment> made = prototype.CreateInstance(name);
    if (made)
        made->ReadParameters(stream);
    return made;
}

Attachment* Attachment::CreateFromScript(QmStrStream& stream)
{
    const QString name = ReadScriptToken(stream);
    const QString type = ReadScriptToken(stream);
    AttachmentRegistry& r = registry();
    const Attachment* prototype = r.types.value(platform::asciiLower(type));
    if (prototype == nullptr)
        return nullptr;
    std::unique_ptr<Attachment> made = Instantiate(*prototype, name, stream);
    if (!made)
        return nullptr;
    Attachment* instance = made.get();
    r.made.push_back(std::move(made));
    r.instances.insert(platform::asciiLower(name), instance);
    return instance;
}

Attachment* Attachment::Find(const QString& name)
{
    return registry().instances.value(platform::asciiLower(name));
}

}  // namespace engine
