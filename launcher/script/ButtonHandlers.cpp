#include "launcher/script/KeywordHandlers.h"
#include "launcher/script/ScriptReader.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/ui/controls/QmBitmapButtons.h"
#include "regengine/ui/controls/QmButtons.h"
#include "regengine/ui/element/QmBasicDialog.h"

#include "platform/text/Format.h"

using namespace engine;

namespace launcher {

namespace {

// Each button is owned by its parent element from here on; those with a text of their own
// wear the current font.
template <typename Button, bool kFont, typename... Args>
Button* onButton(ScriptReader& reader, int keyword, Args... args)
{
    QmWind* parent = ParentForControl(reader, keyword);
    if (parent == nullptr)
        return nullptr;
    auto* button = new Button(reader.Stream(), parent, args...);
    if constexpr (kFont)
        button->ApplyFont(reader.CurrentFont());
    return button;
}

}  // namespace

void InstallButtonHandlers(ScriptReader& reader)
{
    reader.SetKeywordHandler(ScriptReader::PUSHBUTTON, [](ScriptReader& r) {
        QmPushButton* button = onButton<QmPushButton, true>(r, ScriptReader::PUSHBUTTON);
        if (button != nullptr && (button->GetFlags() & QmFlag::DefaultButton) && r.CurrentPage() != nullptr)
            r.CurrentPage()->SetDefaultButton(button);
    });
    reader.SetKeywordHandler(ScriptReader::CHECKBOX, [](ScriptReader& r) {
        onButton<QmStateButton, true>(r, ScriptReader::CHECKBOX, int(QmStateButton::CheckBox));
    });
    reader.SetKeywordHandler(ScriptReader::RADIOBUTTON, [](ScriptReader& r) {
        onButton<QmStateButton, true>(r, ScriptReader::RADIOBUTTON, int(QmStateButton::RadioButton));
    });
    reader.SetKeywordHandler(ScriptReader::GRAPHICBUTTON,
                             [](ScriptReader& r) { onButton<QmGraphicButton, false>(r, ScriptReader::GRAPHICBUTTON); });
    reader.SetKeywordHandler(ScriptReader::HOVERBUTTON,
                             [](ScriptReader& r) { onButton<CHoverButton, false>(r, ScriptReader::HOVERBUTTON); });
    reader.SetKeywordHandler(ScriptReader::TOGGLEBUTTON,
                             [](ScriptReader& r) { onButton<QmToggleButton, false>(r, ScriptReader::TOGGLEBUTTON); });
    reader.SetKeywordHandler(ScriptReader::CLEARBUTTON,
                             [](ScriptReader& r) { onButton<QmClearButton, true>(r, ScriptReader::CLEARBUTTON); });
}

}  // namespace launcher
