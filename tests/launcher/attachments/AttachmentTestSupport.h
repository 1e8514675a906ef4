#pragma once

// A registration window built by the real interpreter from a small script, with the
// launcher's attachment types registered as the program registers them.

#include "launcher/attachments/LauncherAttachments.h"
#include "launcher/window/RegWind.h"
#include "launcher/script/ScriptReader.h"

#include "regengine/core/FieldList.h"
#include "regengine/core/LangCode.h"
#include "regengine/core/QmStrStream.h"
#include "tests/support/QtPrinters.h"

#include <QString>

#include <memory>
#include <optional>
namespace attachmenttest {

// The window line and the header values the tests rely on; PRNM also opens the engine key.
inline const QString kScriptHead = QStringLiteral(
    ">STRINGTABLE CAPT ENGL\n"
    "1 Ovex Kelvo Setup\n"
    ">CMNT End Table\n"
    ">WIND HOLD 0 0 0 0 0x00420000 =CAPT:1\n"
    ">SETHEADER mFNM Ovex Inc.\n"
    ">SETHEADER PRNM Ovex Kelvo\n");

class ScriptWindow {
public:
    explicit ScriptWindow(const QString& lines)
        : reader_(std::make_unique<engine::QmStrStream>(kScriptHead + lines), QString(), engine::LangCode("EN"))
    {
        launcher::RegisterLauncherAttachments();
        reader_.Run();
        // As the start does before its event: the record's header part is the packet.
        reader_.GetWindow()->BuildPacket();
    }
    launcher::RegWind& window() const { return *reader_.GetWindow(); }
    std::optional<QString> field(int kind, const char* code) const
    {
        const engine::Field* f = window().GetList(kind)->Find(engine::FourCC(code));
        return f ? std::optional<QString>(f->GetValue()) : std::nullopt;
    }
    std::optional<QString> header(const char* code) const { return field(launcher::RegWind::HeaderRecord, code); }

private:
    launcher::ScriptReader reader_;
};

}  // namespace attachmenttest
