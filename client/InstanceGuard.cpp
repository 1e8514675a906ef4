#include "client/InstanceGuard.h"

#include "client/Trace.h"

#include <cstring>

namespace client {

namespace {
constexpr int kBlockSize = 8;
constexpr unsigned char kLayoutVersion = 1;
}  // namespace

void InstanceGuard::Open(const QString& id)
{
    Close();
    id_ = id;
    first_ = false;
    const QString prefix = QStringLiteral("Local\\") + id;

    QString error;
    switch (mutex_.create(prefix + QStringLiteral("_mutex"), &error)) {
    case platform::NamedMutex::Result::Failed: qCWarning(lcClient).noquote() << error; return;
    case platform::NamedMutex::Result::AlreadyExists:
        // Another process is the first; look at its block, if it has one we understand.
        if (!block_.open(prefix + QStringLiteral("_shmem"), &error)) {
            qCInfo(lcClient).noquote() << error;
            return;
        }
        if (block_.size() < kBlockSize || block_.data()[0] != kBlockSize || block_.data()[1] != kLayoutVersion)
            block_.close();
        return;
    case platform::NamedMutex::Result::Created: break;
    }

    first_ = true;
    if (!block_.create(prefix + QStringLiteral("_shmem"), kBlockSize, &error)) {
        qCInfo(lcClient).noquote() << error;
        return;
    }
    unsigned char* b = block_.data();
    b[0] = kBlockSize;
    b[1] = kLayoutVersion;
    b[2] = b[3] = 0;
    std::memset(b + 4, 0, 4);
}

void InstanceGuard::Close()
{
    mutex_.close();
    block_.close();
}

quint32 InstanceGuard::WindowHandle() const
{
    if (!block_.isMapped())
        return 0;
    quint32 token = 0;
    std::memcpy(&token, block_.data() + 4, sizeof token);
    return token;
}

void InstanceGuard::SetWindowHandle(quint32 token)
{
    if (!first_ || !block_.isMapped())
        return;
    std::memcpy(block_.data() + 4, &token, sizeof token);
}

QString InstanceGuard::WindowName() const
{
    return QStringLiteral("Local\\") + id_ + QStringLiteral("_window");
}

}  // namespace client
