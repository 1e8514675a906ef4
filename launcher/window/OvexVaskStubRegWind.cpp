#include "launcher/window/OvexVaskStubRegWind.h"

#include "launcher/registration/RegistrationMethods.h"
#include "launcher/window/UuidString.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/core/ModalWait.h"

#include "platform/registry/Registry.h"
#include "platform/text/Format.h"

#include <QDebug>

using namespace engine;

namespace launcher {

namespace {

const QString kSetupKey = QStringLiteral("SYSTEM\\Setup\\Status\\UnattendPasses");
const QString kSetupValue = QStringLiteral("oobeSystem");
const QString kUserKey = QStringLiteral("Software\\Ovex\\Ovex Kelvo");
const QString kHasRunValue = QStringLiteral("LauncherHasRun");

// A value read into a 4-byte number whatever its type, as the stored bytes give it; a
// value of more than four bytes does not fit.
std::optional<quint32> asFourByteNumber(const platform::RegValue& value)
{
    const QByteArray raw = value.rawBytes();
    if (raw.size() > 4)
        return std::nullopt;
    quint32 n = 0;
    for (qsizetype i = raw.size() - 1; i >= 0; --i)
        n = n << 8 | quint8(raw[i]);
    return n;
}

}  // namespace

OvexVaskStubRegWind::OvexVaskStubRegWind(QmStrStream& script) : RegWind(script)
{
    GetRegistration().SetStatus(&statusWindow_);
}

OvexVaskStubRegWind::~OvexVaskStubRegWind() = default;

void OvexVaskStubRegWind::ShowFirstPage() {}

int OvexVaskStubRegWind::ShowStartPage(int page)
{
    const std::optional<QString> id = makeUuid_ ? makeUuid_() : CreateUuidString();
    if (!id) {
        EngineTrace(QStringLiteral("No unique registration id could be made: the launcher ends"));
        PostQuitWithExitCode();
        return -1;
    }
    GetList(PageFields)->SetField(FourCC("USID"), *id);
    // The start event's attachments write the record, header packet included.
    BuildPacket();
    return RegWind::ShowStartPage(page);
}

bool OvexVaskStubRegWind::StartMode(int)
{
    const std::optional<platform::RegValue> setup =
        platform::Registry::value(platform::RootKey::LocalMachine, kSetupKey, kSetupValue);
    const std::optional<quint32> passes = setup ? asFourByteNumber(*setup) : std::nullopt;
    if (!passes) {
        EngineTrace(platform::formatText(QStringLiteral("First-run test: no readable %s\\%s"), kSetupKey, kSetupValue));
        return false;
    }
    if (*passes == 0)
        return false;

    // Read and set under one lock, so two launchers started at once cannot both see the
    // flag unset.
    std::optional<quint32> hasRun;
    bool unreadable = false;
    bool unset = false;
    QString error;
    const bool done = platform::Registry::update(
        platform::RootKey::CurrentUser,
        [&](platform::Hive& hive) {
            bool changed = false;
            if (!hive.keyExists(kUserKey)) {
                if (!hive.createKey(kUserKey, &error)) {
                    unset = true;
                    return false;
                }
                changed = true;
            }
            const std::optional<platform::RegValue> value = hive.value(kUserKey, kHasRunValue);
            hasRun = value ? asFourByteNumber(*value) : std::optional<quint32>(0);
            if (!hasRun) {
                unreadable = true;
                return changed;
            }
            if (*hasRun == 0) {
                unset = !hive.setValue(kUserKey, kHasRunValue, platform::RegValue::fromDWord(1), &error);
                changed = changed || !unset;
            }
            return changed;
        },
        &error);
    if (unreadable) {
        EngineTrace(platform::formatText(QStringLiteral("First-run test: %s\\%s is not a 4-byte number"), kUserKey,
                                         kHasRunValue));
        return false;
    }
    if (hasRun)
        SetFieldByKind(u'H', FourCC("-RGC"), QString::number(quint64(*hasRun) + 1));
    if (!done || unset) {
        qWarning().noquote() << error;
        EngineTrace(QStringLiteral("First-run test: ") + error);
        return false;
    }
    return hasRun && *hasRun == 0;
}

std::unique_ptr<RegWind> CreateStubRegWind(QmStrStream& script)
{
    return std::make_unique<OvexVaskStubRegWind>(script);
}

}  // namespace launcher
