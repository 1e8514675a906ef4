#include "launcher/reminders/ReminderKeeper.h"

#include "platform/registry/Registry.h"

#include <QStringList>

namespace launcher {

ReminderKeeper::ReminderKeeper()
{
    const std::optional<platform::RegValue> value =
        platform::Registry::value(platform::RootKey::CurrentUser, KeyPath(), QStringLiteral("TestVals"));
    // At most 100 bytes of UTF-16 were read, the terminator among them.
    if (value && value->type == platform::RegType::String)
        text_ = value->text.left(49);
}

QString ReminderKeeper::KeyPath()
{
    return QStringLiteral("Software\\Veldora\\Veldora");
}

std::optional<long> ReminderKeeper::TestMinutes() const
{
    if (text_.size() <= 2)
        return std::nullopt;
    const QStringList parts = text_.simplified().split(u' ');
    if (parts.size() < 3)
        return std::nullopt;
    bool ok = false;
    const long minutes = parts[2].toLong(&ok);
    if (!ok)
        return std::nullopt;
    return minutes;
}

}  // namespace launcher
