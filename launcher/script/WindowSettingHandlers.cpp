#include "launcher/script/KeywordHandlers.h"
#include "launcher/script/ScriptReader.h"
#include "launcher/script/ScriptTarget.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/QmStringList.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/ui/dialogs/ReminderKeeper.h"

#include "platform/text/Format.h"

using namespace engine;

namespace launcher {

namespace {

using namespace ScriptLineLimit;

void onWindowSetting(ScriptReader& reader, int keyword)
{
    ScriptTarget* window = reader.RequireWindow(keyword);
    if (window == nullptr)
        return;
    QmStrStream& s = reader.Stream();
    RegWindSettings& settings = window->GetSettings();
    auto readInt = [&s] {
        qint32 value = 0;
        s.readInt(value);
        return int(value);
    };
    auto firstLetter = [](const QString& token) { return token.isEmpty() ? QChar() : token[0]; };
    switch (keyword) {
    case ScriptReader::WEBREGSITE: window->AddWebSite(ReadScriptToken(s)); break;
    case ScriptReader::REMINDID:
        settings.reminderDialogId = readInt();
        reader.DropRestOfLine(kDroppedLong);
        break;
    case ScriptReader::REGSUCCESSPAGE: settings.successPage = FourCC(s); break;
    case ScriptReader::FTPREDIRECTLOC: settings.ftpRedirect = reader.ReadRestOfLine(kRestOfLine); break;
    case ScriptReader::IPREDIRECTLOC: settings.ipRedirect = reader.ReadRestOfLine(kRestOfLine); break;
    case ScriptReader::RPCREDIRECTLOC: settings.rpcRedirect = reader.ReadRestOfLine(kRestOfLine); break;
    case ScriptReader::DEFAULTCANCELCMD:
        settings.cancelCommand = readInt();
        reader.DropRestOfLine(kDroppedShort);
        break;
    case ScriptReader::APPCLEANUP: {
        quint32 flags = 0;
        for (const QChar letter : ReadScriptToken(s)) {
            switch (letter.unicode()) {
            case u'S': flags |= 1; break;
            case u'N': flags |= 2; break;
            case u'R': flags |= 4; break;
            case u'P': flags |= 8; break;
            default: EngineTrace(platform::formatText(QStringLiteral("CleanupFlags:  Unknown flag %c"), letter)); break;
            }
        }
        settings.cleanupFlags = flags;
        break;
    }
    case ScriptReader::SETSTARTPAGES:
        for (int& page : settings.startPages)
            page = readInt();
        break;
    case ScriptReader::GENUNIQUEREGID:
        settings.uniqueIdCount = readInt();
        settings.uniqueIdCodes = reader.ReadRestOfLine(kRestOfLine);
        break;
    case ScriptReader::GENUNIQUEREGKEY: {
        // The key text is what the codes are encoded with; an empty one would encode nothing.
        const QString key = reader.ReadRestOfLine(kRestOfLine);
        if (key.isEmpty())
            EngineTrace(QStringLiteral("GENUNIQUEREGKEY without a key text: the key stays"));
        else
            settings.keyText = key;
        break;
    }
    case ScriptReader::REMINDLINK:
        ReadScriptToken(s);
        settings.reminderLink = reader.ReadRestOfLine(kReminderLink);
        break;
    case ScriptReader::REMINDDAYS: settings.reminderDays = readInt(); break;
    case ScriptReader::REGKEY: settings.regKey = FourCC(s); break;
    case ScriptReader::RESUPDATE: {
        const QChar letter = firstLetter(ReadScriptToken(s));
        if (letter == u'A')
            settings.resourceUpdate = 1;
        else if (letter == u'F')
            settings.resourceUpdate = 2;
        else if (letter == u'N')
            settings.resourceUpdate = 0;
        else
            EngineTrace(platform::formatText(QStringLiteral("Unknown RESUPDATE type %c"), letter));
        break;
    }
    case ScriptReader::REMINDFLAGS: {
        quint32 flags = 0;
        s.readHex(flags);
        // Global: the register-later dialog and the window keep reminders by them.
        ReminderKeeper::SetReminderFlags(flags);
        reader.DropRestOfLine(kDroppedShort);
        break;
    }
    case ScriptReader::OUTPUTORDER: {
        const QString name = ReadScriptToken(s);
        const QmStringList* list = reader.FindList(name);
        if (list == nullptr) {
            EngineTrace(platform::formatText(QStringLiteral("OUTPUTORDER: no list %s"), name));
            break;
        }
        settings.outputOrder.RemoveAll();
        for (const QString& item : *list)
            settings.outputOrder.SetField(FourCC(item), QString());
        break;
    }
    case ScriptReader::BACKUPREGMETHOD: settings.backupMethod = ReadScriptToken(s); break;
    case ScriptReader::SETMAIL:
        settings.mailCode = FourCC(s);
        settings.mailAddress = reader.ReadRestOfLine(kMailAddress);
        if (settings.mailCode[0] == 'N')
            settings.useMapi = false;
        break;
    case ScriptReader::PREFFILE: window->ReadPrefsFile(ReadScriptToken(s)); break;
    default: break;
    }
}

// ">SERNUMCREATE code": the field code that receives the number; the header entries the
// script set before describe it.
void onSerNumCreate(ScriptReader& reader)
{
    const FourCC code(reader.Stream());
    reader.ReadRestOfLine(kRestOfLine);
    ScriptTarget* window = reader.RequireWindow(ScriptReader::SERNUMCREATE);
    if (window == nullptr)
        return;
    window->DefineSerialNumber(code, reader.GetSerialNumberLocation());
}

void onAutoLanguage(ScriptReader& reader)
{
    if (ScriptTarget* window = reader.RequireWindow(ScriptReader::AUTOLANGUAGE))
        window->PostAutoLanguage();
}

}  // namespace

void InstallWindowSettingHandlers(ScriptReader& reader)
{
    for (const int keyword :
         {ScriptReader::WEBREGSITE,     ScriptReader::REMINDID,         ScriptReader::REGSUCCESSPAGE,
          ScriptReader::FTPREDIRECTLOC, ScriptReader::DEFAULTCANCELCMD, ScriptReader::APPCLEANUP,
          ScriptReader::SETSTARTPAGES,  ScriptReader::IPREDIRECTLOC,    ScriptReader::RPCREDIRECTLOC,
          ScriptReader::GENUNIQUEREGID, ScriptReader::GENUNIQUEREGKEY,  ScriptReader::REMINDLINK,
          ScriptReader::REMINDDAYS,     ScriptReader::REGKEY,           ScriptReader::RESUPDATE,
          ScriptReader::REMINDFLAGS,    ScriptReader::OUTPUTORDER,      ScriptReader::BACKUPREGMETHOD,
          ScriptReader::SETMAIL,        ScriptReader::PREFFILE})
        reader.SetKeywordHandler(keyword, [keyword](ScriptReader& r) { onWindowSetting(r, keyword); });
    reader.SetKeywordHandler(ScriptReader::SERNUMCREATE, onSerNumCreate);
    reader.SetKeywordHandler(ScriptReader::AUTOLANGUAGE, onAutoLanguage);
}

}  // namespace launcher
