#include "regengine/core/Attachable.h"

#include "regengine/core/Attachment.h"

namespace engine {

Attachable::Attachable() : alive_(std::make_shared<bool>(true)) {}

Attachable::~Attachable()
{
    DestroyHooks();
    *alive_ = false;
}

void Attachable::Attach(Attachment* attachment, quint32 mask)
{
    if (attachment == nullptr || dying_)
        return;
    hooks_.Add(Hook{mask, attachment});
    if (mask & AttachEvent::Attached)
        attachment->Receive(this, AttachEvent::Attached);
}

bool Attachable::PerformEvent(quint32 event)
{
    if (dying_)
        return false;
    const std::shared_ptr<bool> alive = alive_;
    // Only the hooks there were when the event was raised; the list may grow meanwhile, so
    // each hook is read afresh by index.
    const int count = hooks_.GetCount();
    for (int i = 0; i < count; ++i) {
        const Hook* hook = hooks_.At(i);
        if (hook == nullptr)
            break;
        if (hook->attachment == nullptr || (hook->mask & event) == 0)
            continue;
        const bool goOn = hook->attachment->Receive(this, event);
        if (!*alive || dying_)
            return false;
        if (!goOn)
            return false;
    }
    return true;
}

void Attachable::DestroyHooks()
{
    if (dying_)
        return;
    dying_ = true;
    while (hooks_.GetCount() > 0) {
        const int last = hooks_.GetCount() - 1;
        const Hook hook = *hooks_.At(last);
        hooks_.RemoveAt(last);
        if (hook.attachment != nullptr && (hook.mask & AttachEvent::Destroyed))
            hook.attachment->Receive(this, AttachEvent::Destroyed);
    }
}

}  // namespace engine
