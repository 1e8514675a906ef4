#include "regengine/core/EngineRegistry.h"

#include "platform/text/Format.h"

#include <QDateTime>

namespace engine {

namespace {

QString untitled()
{
    return QStringLiteral("Untitled Registration App");
}

struct EngineKey {
    QString keyPath = EngineRegistryBasePath() + u'\\' + untitled();
    QString applicationName = untitled();
    bool open = false;
};

EngineKey& engineKey()
{
    static EngineKey key;
    return key;
}

// Values are queried into a 2048-byte buffer; a larger one does not fit.
constexpr qsizetype kValueBufferBytes = 2048;

QString textUpToNul(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar());
    return nul < 0 ? text : text.left(nul);
}

}  // namespace

QString EngineRegistryBasePath()
{
    return QStringLiteral("Software\\Quenmark\\Veldora");
}

QString EngineRegistryKeyPath()
{
    return engineKey().keyPath;
}

QString EngineApplicationName()
{
    return engineKey().applicationName;
}

bool IsEngineRegistryKeyOpen()
{
    return engineKey().open;
}

bool OpenEngineRegistryKey(const FourCC& mfgr, const FourCC& prod, const QString& version,
                           const QString& applicationName)
{
    EngineKey& key = engineKey();
    key.keyPath = EngineRegistryBasePath() + u'\\' + FieldCodeToString(mfgr) + u'\\' + FieldCodeToString(prod) + u'\\' +
                  applicationName + u'\\' + version;
    key.applicationName = applicationName;
    key.open = platform::Registry::createKey(platform::RootKey::CurrentUser, key.keyPath);
    return key.open;
}

std::optional<platform::RegValue> EngineRegistryValue(const QString& name)
{
    if (!engineKey().open)
        return std::nullopt;
    return platform::Registry::value(platform::RootKey::CurrentUser, engineKey().keyPath, name);
}

bool SetEngineRegistryValue(const QString& name, const platform::RegValue& value)
{
    return engineKey().open &&
           platform::Registry::setValue(platform::RootKey::CurrentUser, engineKey().keyPath, name, value);
}

bool ReadRegistryValue(unsigned options, platform::RootKey root, const QString& path, QString* out)
{
    const qsizetype split = path.lastIndexOf(u'\\');
    const QString key = split < 0 ? QString() : path.left(split);
    const QString name = split < 0 ? path : path.mid(split + 1);
    if (!key.isEmpty() && !platform::Registry::keyExists(root, key))
        return false;
    const std::optional<platform::RegValue> value = platform::Registry::value(root, key, name);
    if (!value || value->rawBytes().size() > kValueBufferBytes)
        return false;
    QString text;
    switch (value->type) {
    case platform::RegType::DWord:
        text = (options & kRegistryHexNumbers)
                   ? platform::formatText(QStringLiteral("0x%08X"), unsigned(value->number & 0xFFFFFFFFu))
                   : platform::formatText(QStringLiteral("%d"), int(qint32(quint32(value->number & 0xFFFFFFFFu))));
        break;
    case platform::RegType::QWord:
        text = (options & kRegistryHexNumbers)
                   ? platform::formatText(QStringLiteral("0x%016llX"), static_cast<unsigned long long>(value->number))
                   : platform::formatText(QStringLiteral("%lld"), static_cast<long long>(value->number));
        break;
    case platform::RegType::String:
    case platform::RegType::ExpandString: text = textUpToNul(value->text); break;
    case platform::RegType::MultiString:
        text = value->strings.isEmpty() ? QString() : textUpToNul(value->strings.first());
        break;
    case platform::RegType::Binary: {
        const QByteArray& bytes = value->bytes;
        for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
            const char16_t c = char16_t(quint8(bytes[i]) | quint16(quint8(bytes[i + 1])) << 8);
            if (c == 0)
                break;
            text += QChar(c);
        }
        break;
    }
    }
    if (out != nullptr)
        *out = text;
    return true;
}

QString RegStatusText(QChar letter, qint64 time)
{
    const QDateTime local = QDateTime::fromSecsSinceEpoch(time);
    const QDate date = local.date();
    const QTime clock = local.time();
    return platform::formatText(QStringLiteral("%c %02.2d%02.2d%02.2d%02.2d%02.2d"), letter, date.year() % 100,
                                date.month(), date.day(), clock.hour(), clock.minute());
}

}  // namespace engine
