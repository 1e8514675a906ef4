// COUNTRYDIALER: the X.25 network's access numbers to choose from, in the current font.
#include "launcher/script/KeywordHandlers.h"
#include "launcher/script/ScriptReader.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/ui/controls/CtryDialerWind.h"

using namespace engine;

namespace launcher {

namespace {

void onCountryDialer(ScriptReader& r)
{
    QmWind* parent = r.CurrentParent();
    if (parent == nullptr) {
        EngineTrace(QStringLiteral("COUNTRYDIALER before WIND: skipped"));
        return;
    }
    auto* dialer = new CtryDialerWind(r.Stream(), parent, r.GetLanguage(), r.GetResourceModule());
    dialer->ApplyFont(r.CurrentFont());
}

}  // namespace

void InstallCountryDialerHandlers(ScriptReader& reader)
{
    reader.SetKeywordHandler(ScriptReader::COUNTRYDIALER, onCountryDialer);
}

}  // namespace launcher
