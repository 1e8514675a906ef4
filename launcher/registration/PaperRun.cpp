#include "launcher/registration/PaperRun.h"

#include "launcher/script/ScriptReader.h"
#include "launcher/window/RegWind.h"

#include "regengine/core/Attachable.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/core/FieldList.h"
#include "regengine/print/PrintMeView.h"

namespace launcher {

using namespace engine;

bool RegisterOnPaper(RegWind& window, int kind)
{
    return RegisterOnPaper(window, kind, CPrintMeView::LiveView());
}

bool RegisterOnPaper(RegWind& window, int kind, CPrintMeView* view)
{
    if (view == nullptr)
        return false;
    FieldList record = window.CompleteRecord();
    window.ForEachListedField(record);
    // The output order may name a private code; the form never holds one.
    window.RemoveListedFields(record);

    // A copy of the script's list: the view prints it, the script keeps its own lines.
    QStringList lines;
    if (ScriptReader* reader = window.GetScriptReader()) {
        if (const QmStringList* list = reader->FindList(kind != 0 ? QStringLiteral("MailHeader") : QStringLiteral("FaxHeader"))) {
            for (int i = 0; i < list->GetCount(); ++i) {
                QString line = *list->GetItem(i);
                window.SubstituteFieldTags(line, false);
                lines.append(line);
            }
        }
    }
    view->SetFieldList(&record);
    view->SetHeaderLines(lines);
    const bool printed = view->PrintForm(kind);
    view->SetFieldList(nullptr);
    EngineTrace(printed ? QStringLiteral("Printed registration form") : QStringLiteral("Printed registration cancelled"));
    if (printed)
        window.PerformEvent(AttachEvent::Registered);
    return printed;
}

}  // namespace launcher
