#include "launcher/script/KeywordHandlers.h"
#include "launcher/script/ScriptReader.h"
#include "launcher/script/ScriptTarget.h"

#include "regengine/core/FourCC.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/sysinfo/QmSysInfo.h"
#include "regengine/sysinfo/SysParameter.h"

using namespace engine;

namespace launcher {

namespace {

// SYSTEMINFO <name> <hex>: the item the name selects (exactly, letter case counting)
// becomes the page field of that very code.
void onSystemInfo(ScriptReader& reader)
{
    QmStrStream& s = reader.Stream();
    const QString name = ReadScriptToken(s);
    quint32 argument = 0;
    s.readHex(argument);
    reader.DropRestOfLine(ScriptLineLimit::kDroppedLong);
    const int item = QmSysInfo::ItemForName(name);
    if (item < 0)
        return;
    ScriptTarget* window = reader.RequireWindow(ScriptReader::SYSTEMINFO);
    if (window == nullptr)
        return;
    QString text;
    QmSysInfo().GetItem(item, argument, &text);
    window->SetFieldByKind(u'U', FourCC(QStringView(name)), text);
}

// SYSPARAMETER <name> <code>: the parameter's text joins the initial values.
void onSysParameter(ScriptReader& reader)
{
    QmStrStream& s = reader.Stream();
    const QString name = ReadScriptToken(s);
    const FourCC code(s);
    ScriptTarget* window = reader.RequireWindow(ScriptReader::SYSPARAMETER);
    if (window == nullptr)
        return;
    QString text;
    GetSysParameter(name, &text, 200);
    window->SetFieldByKind(u'P', code, text);
}

}  // namespace

void InstallSystemHandlers(ScriptReader& reader)
{
    reader.SetKeywordHandler(ScriptReader::SYSTEMINFO, onSystemInfo);
    reader.SetKeywordHandler(ScriptReader::SYSPARAMETER, onSysParameter);
}

}  // namespace launcher
