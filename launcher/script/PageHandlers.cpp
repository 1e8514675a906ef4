#include "launcher/script/KeywordHandlers.h"
#include "launcher/script/ScriptReader.h"
#include "launcher/script/ScriptTarget.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/ui/pages/MethodPage.h"
#include "regengine/ui/pages/ModemPage.h"
#include "regengine/ui/pages/QmRegPage.h"

#include <type_traits>

using namespace engine;

namespace launcher {

namespace {

// PAGE, METHODPAGE and MODEMPAGE: the page from its line, with the background then in force.
template <typename Page>
void onPageOfKind(ScriptReader& reader, int keyword, int kind)
{
    ScriptTarget* window = reader.RequireWindow(keyword);
    if (window == nullptr)
        return;
    QmRegPage::Background background;
    background.bitmapName = ScriptReader::PageBackgroundName();
    background.mode = ScriptReader::PageBackgroundMode();
    background.color = reader.GetPageColor();
    background.module = reader.GetResourceModule();
    // Owned by the window as its child element from here on.
    auto* page = new Page(reader.Stream(), &window->Element(), background);
    bool added = false;
    try {
        added = window->AddPage(page, kind);
    } catch (const RegWindLoadedUpdate&) {
        reader.EndRun();
        return;
    }
    if (!added) {
        delete page;
        return;
    }
    reader.BeginPage(page);
    if constexpr (std::is_same_v<Page, ModemPage>)
        reader.SetCurrentModemPage(page);
}

void onPage(ScriptReader& reader)
{
    onPageOfKind<QmRegPage>(reader, ScriptReader::PAGE, 0);
}

void onMethodPage(ScriptReader& reader)
{
    onPageOfKind<MethodPage>(reader, ScriptReader::METHODPAGE, 2);
}

void onModemPage(ScriptReader& reader)
{
    onPageOfKind<ModemPage>(reader, ScriptReader::MODEMPAGE, 0);
}

void onRule(ScriptReader& reader)
{
    auto* page = dynamic_cast<QmRegPage*>(reader.CurrentPage());
    const QString text = reader.ReadRestOfLine(ScriptLineLimit::kRule);
    if (page == nullptr) {
        EngineTrace(QStringLiteral("RULE without a page: skipped"));
        return;
    }
    page->AddListText(text);
}

void onSetErrorHandler(ScriptReader& reader)
{
    QmStrStream& s = reader.Stream();
    const FourCC code(s);
    const QString word = ReadScriptToken(s);
    if (auto* page = dynamic_cast<QmRegPage*>(reader.CurrentPage()))
        page->SetErrorHandler(code, word.isEmpty() ? QChar() : word[0]);
}

void onSetPageColor(ScriptReader& reader)
{
    qint32 rgb[3] = {0, 0, 0};
    for (qint32& value : rgb)
        reader.Stream().readInt(value);
    if (rgb[0] == -1 && rgb[1] == -1 && rgb[2] == -1)
        reader.SetPageColor(std::nullopt);
    else
        reader.SetPageColor(quint32(rgb[0] & 0xFF) | quint32(rgb[1] & 0xFF) << 8 | quint32(rgb[2] & 0xFF) << 16);
}

void onSetPageBackground(ScriptReader& reader)
{
    QmStrStream& s = reader.Stream();
    const QString name = ReadScriptToken(s);
    quint32 mode = 0;
    s.readHex(mode);
    ScriptReader::SetPageBackground(name, mode);
}

}  // namespace

void InstallPageHandlers(ScriptReader& reader)
{
    reader.SetKeywordHandler(ScriptReader::PAGE, onPage);
    reader.SetKeywordHandler(ScriptReader::METHODPAGE, onMethodPage);
    reader.SetKeywordHandler(ScriptReader::MODEMPAGE, onModemPage);
    reader.SetKeywordHandler(ScriptReader::RULE, onRule);
    reader.SetKeywordHandler(ScriptReader::SETERRORHANDLER, onSetErrorHandler);
    reader.SetKeywordHandler(ScriptReader::SETPAGECOLOR, onSetPageColor);
    reader.SetKeywordHandler(ScriptReader::SETPAGEBACKGROUND, onSetPageBackground);
}

}  // namespace launcher
