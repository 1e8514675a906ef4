#include "launcher/registration/PaperRun.h"

#include "launcher/script/ScriptReader.h"
#include "launcher/window/RegWind.h"

#include "regengine/core/Attachable.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/core/FieldList.h"
#include "regengine/print/PrintMeView.h"

#include "platform/ui/Ui.h"

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
        if (const QmStringList* list =
                reader->FindList(kind != 0 ? QStringLiteral("MailHeader") : QStringLiteral("FaxHeader"))) {
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
    if (printed) {
        EngineTrace(QStringLiteral("Printed registration form"));
        window.PerformEvent(AttachEvent::Registered);
        return true;
    }
    if (view->WasPrintCancelled()) {
        EngineTrace(QStringLiteral("Printed registration cancelled"));
        return false;
    }
    // A form that never reached the printer whole is no registration, and the user must know
    // there is nothing to send.
    EngineTrace(QStringLiteral("Printed registration failed: ") + view->PrintError());
    platform::messageBox(QStringLiteral("Your registration form was not printed: %1. Please check the printer and try "
                                        "again, or choose a different registration method.")
                             .arg(view->PrintError()),
                         QStringLiteral("Registration"), platform::mb::Ok | platform::mb::IconHand);
    return false;
}

}  // namespace launcher
