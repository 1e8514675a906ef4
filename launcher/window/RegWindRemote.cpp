// The registration window's side of a modem exchange: the service's remote commands and the
// script text it may send.
#include "launcher/registration/ModemRegistration.h"
#include "launcher/registration/RemoteCommands.h"
#include "launcher/script/ScriptReader.h"
#include "launcher/window/RegWind.h"

#include "regengine/core/QmStrStream.h"
#include "regengine/ui/pages/QmRegPage.h"

namespace launcher {

int RegWind::ExecuteRemoteCommand(const engine::RemoteRecord& record)
{
    return launcher::ExecuteRemoteCommand(*this, record);
}

void RegWind::RunScriptText(const QString& text)
{
    if (reader_ == nullptr || text.isEmpty())
        return;
    const int index = GetCurrentPageIndex();
    engine::QmStrStream stream(text);
    engine::QmBasicDialog* previous = reader_->SetCurrentPage(GetCurrentPage());
    reader_->RunConfined(stream, RemoteScriptMayRun);
    reader_->SetCurrentPage(previous);
    if (index >= 0)
        GoToPage(index);
}

bool RegWind::RegisterByModem(const engine::FieldList& record)
{
    ModemRegistration run(*this, *modemOptions_);
    return run.Run(record);
}

}  // namespace launcher
