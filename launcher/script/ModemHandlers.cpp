// What registration by modem reads from the page script: the country dialer and the modem
// page's location texts.
#include "launcher/script/KeywordHandlers.h"
#include "launcher/script/ScriptReader.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/ui/controls/CtryDialerWind.h"
#include "regengine/ui/pages/ModemPage.h"

using namespace engine;

namespace launcher {

namespace {

// COUNTRYDIALER: the X.25 network's access numbers to choose from, in the current font.
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

// SETPHONES: two texts, for the window and the modem page's location caption.
void onSetPhones(ScriptReader& r)
{
    const QString first = ReadScriptToken(r.Stream());
    const QString second = ReadScriptToken(r.Stream());
    if (auto* page = dynamic_cast<ModemPage*>(r.CurrentModemPage()))
        page->SetLocationTexts(first, second);
    if (ScriptTarget* window = r.RequireWindow(ScriptReader::SETPHONES)) {
        window->GetSettings().phones[0] = first;
        window->GetSettings().phones[1] = second;
    }
}

}  // namespace

void InstallModemHandlers(ScriptReader& reader)
{
    reader.SetKeywordHandler(ScriptReader::COUNTRYDIALER, onCountryDialer);
    reader.SetKeywordHandler(ScriptReader::SETPHONES, onSetPhones);
}

}  // namespace launcher
