// The registration window's prefs file and the serial number it makes.
#include "launcher/window/RegWind.h"

#include "launcher/registration/PrivatePrefs.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/core/RegFile.h"
#include "regengine/core/SerialNumberMaker.h"

#include "platform/shell/Shell.h"
#include "platform/text/Format.h"

using namespace engine;

namespace launcher {

// ---- Prefs ----------------------------------------------------------------------------

bool RegWind::ReadPrefsFile(const QString& name)
{
    // The prefs file turns backslashes into folder separators: they are refused too.
    if (!platform::isPlainFileName(name)) {
        EngineTrace(platform::formatText(QStringLiteral("PREFFILE %s refused: not a file of the prefs folder"), name));
        return false;
    }
    if (prefs_)
        prefs_->GetFieldList().RemoveAll();
    settings_.prefsFileName = name;
    LoadPrefs();
    return true;
}

void RegWind::LoadPrefs()
{
    if (GetFlags() & kKeepPrefs)
        return;
    prefs_ = std::make_unique<RegFile>(settings_.prefsFileName);
    prefs_->ReadExistingFields();
    record_.List(InitialValues).Merge(prefs_->GetFieldList());
}

void RegWind::SavePrivatePrefs(const QmStringList* list)
{
    const QString name = record_.List(HeaderRecord).GetField(FourCC("pvPR"));
    launcher::SavePrivatePrefs(name, record_.List(PageFields), list);
}

// ---- Serial number --------------------------------------------------------------------

void RegWind::SetSerialNumberClock(const Clock* clock)
{
    *serialMaker_ = SerialNumberMaker(clock);
    serialMade_ = false;
}

void RegWind::DefineSerialNumber(const FourCC& code, const QString& location)
{
    const FieldList& header = record_.List(HeaderRecord);
    const QString modeText = header.GetField(FourCC("snCR"));
    if (modeText.size() != 1) {
        EngineTrace(platform::formatText(QStringLiteral("SERNUMCREATE %s: header snCR is not one letter"),
                                         FieldCodeToString(code)));
        return;
    }
    serialCode_ = code;
    const QChar mode = modeText.at(0);
    const QString prefix = header.GetField(FourCC("snPR"));
    const QString suffix = header.GetField(FourCC("snSF"));
    const QString valueName = header.GetField(FourCC("snFL"));
    serialMaker_->SetMode(mode);
    if (mode == u'T' || mode == u't')
        serialMaker_->SetRegistryPath(location);
    // Empty, not null: a definition without affixes has none, whatever an earlier one said.
    serialMaker_->SetAffixes(prefix.isNull() ? QStringLiteral("") : prefix,
                             suffix.isNull() ? QStringLiteral("") : suffix);
    serialMaker_->SetValueName(valueName);
    serialPending_ = true;
    serialMaker_->GetResult();
    serialMade_ = serialMaker_->IsMade();
}

void RegWind::StoreMadeSerialNumber()
{
    if (!serialMade_ || !serialPending_)
        return;
    const QString number = serialMaker_->GetResult();
    record_.List(HeaderRecord).SetField(serialCode_, number);
    record_.List(PageFields).SetField(serialCode_, number);
    serialMade_ = false;
}

}  // namespace launcher
