#include "launcher/registration/PrivatePrefs.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/core/FieldList.h"
#include "regengine/core/FourCC.h"
#include "regengine/core/QmPrefFile.h"
#include "regengine/core/QmStringList.h"

#include "platform/shell/Shell.h"
#include "platform/text/Format.h"

namespace launcher {

using namespace engine;

QByteArray PrivatePrefsText(const FieldList& pageFields, const QmStringList* list)
{
    QString text;
    auto line = [&](const FourCC& code) {
        text += FieldCodeToString(code);
        text += QLatin1Char(':');
        text += pageFields.GetField(code);
        text += QStringLiteral("\r\n");
    };
    if (list != nullptr) {
        for (int i = 0; i < list->GetCount(); ++i) {
            if (const QString* item = list->GetItem(i))
                line(FourCC(QStringView(*item).left(20)));
        }
    } else {
        line(FourCC("SRNM"));
    }
    return text.toLatin1();
}

QString PrivatePrefsFileName(const QString& name)
{
    QString plain = name;
    if (plain.startsWith(QLatin1Char('\\')) || plain.startsWith(QLatin1Char('/')))
        plain.remove(0, 1);
    return platform::isPlainFileName(plain) ? plain : QString();
}

bool SavePrivatePrefs(const QString& name, const FieldList& pageFields, const QmStringList* list)
{
    if (name.isEmpty())
        return false;
    const QString plain = PrivatePrefsFileName(name);
    if (plain.isEmpty()) {
        EngineTrace(
            platform::formatText(QStringLiteral("Private prefs %s refused: not a file of the engine folder"), name));
        return false;
    }
    QmPrefFile file(QLatin1Char('/') + plain);
    if (!file.IsOpened())
        return false;
    return file.Write(PrivatePrefsText(pageFields, list));
}

}  // namespace launcher
