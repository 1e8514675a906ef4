#pragma once

#include "regengine/core/QmList.h"

#include <QtGlobal>

#include <memory>

namespace engine {

class Attachment;

// Window events that run attachments: the bits of a hook's mask and of an event raised.
namespace AttachEvent {
constexpr quint32 Attached = 0x1;         // the hook was made, to that hook alone
constexpr quint32 Destroyed = 0x2;        // the attachable is being destroyed
constexpr quint32 PageShown = 0x4;        // a page is shown; the window starts
constexpr quint32 PageLeft = 0x8;         // a page is left
constexpr quint32 ValueSet = 0x10;        // an element's text or value set with notification
constexpr quint32 RegisterFailed = 0x20;  // a registration attempt failed
constexpr quint32 Registered = 0x40;      // a registration completed
constexpr quint32 Validated = 0x80;       // an element was validated
}  // namespace AttachEvent

// Something attachments can hook to: the registration window and every page element.
// It owns its hooks, never the attachments they name.
class Attachable {
public:
    struct Hook {
        quint32 mask = 0;
        Attachment* attachment = nullptr;
    };

    Attachable();
    Attachable(const Attachable&) = delete;
    Attachable& operator=(const Attachable&) = delete;
    virtual ~Attachable();

    // Appends a hook; with mask bit 0x1 its attachment receives event 0x1 at once. Nothing
    // for a null attachment, or once destruction has begun.
    void Attach(Attachment* attachment, quint32 mask);
    // Runs the hooks whose mask shares a bit with `event`, in the order they were made; the
    // first that refuses ends the walk with false. Hooks made meanwhile wait for the next
    // event; when a hook destroys this attachable the walk stops there, with false.
    bool PerformEvent(quint32 event);

    int GetHookCount() const { return hooks_.GetCount(); }

protected:
    // Takes the hooks from last to first, sending event 0x2 to those that asked for it. The
    // destructor calls it; a subclass calls it first in its own destructor when attachments
    // must still see the whole object.
    void DestroyHooks();

private:
    QmList<Hook> hooks_;
    bool dying_ = false;
    // Shared with running walks, which look at it after every hook to learn whether the
    // hook destroyed this object.
    std::shared_ptr<bool> alive_;
};

}  // namespace engine
