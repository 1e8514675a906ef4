#pragma once

#include "platform/instance/Instance.h"

#include <QString>

namespace client {

// One client per user session. The first process takes a named mutex and publishes, in an
// 8-byte shared block, the token of its message window; a later process reads the token,
// asks the first to bring that window forward, and ends.
//
// Block layout: byte 0 = 8 (size), byte 1 = 1 (layout version), bytes 2-3 reserved (0),
// bytes 4-7 the window token, 0 until the window exists.
class InstanceGuard {
public:
    void Open(const QString& id);
    void Close();

    bool IsFirst() const { return first_; }
    bool HasView() const { return block_.isMapped(); }

    quint32 WindowHandle() const;
    // Only a first process that mapped the block writes it.
    void SetWindowHandle(quint32 token);

    // The name the message window's raise server listens under.
    QString WindowName() const;

private:
    QString id_;
    bool first_ = false;
    platform::NamedMutex mutex_;
    platform::SharedBlock block_;
};

}  // namespace client
