#include "launcher/registration/RemoteCommands.h"

#include "launcher/script/ScriptReader.h"
#include "launcher/window/RegWind.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/transport/RemoteCommand.h"

#include <algorithm>
#include <array>

namespace launcher {

namespace {

enum : int { SETF = 0, HIDF = 2, SHOF = 4, NSCR = 9, PSCR = 10, TCMD = 22 };

constexpr qsizetype kCodeOffset = 8;
constexpr qsizetype kFieldTextOffset = 16;
constexpr qsizetype kScriptTextOffset = 12;

QString utf16From(QByteArrayView bytes, qsizetype offset)
{
    QString text;
    for (qsizetype i = offset; i + 1 < bytes.size(); i += 2) {
        const char16_t unit = char16_t(quint8(bytes[i]) | quint8(bytes[i + 1]) << 8);
        if (unit == 0)
            break;
        text.append(QChar(unit));
    }
    return text;
}

using K = ScriptReader;
// Controls, fields, rules and the script's own flow; everything else is refused.
constexpr std::array kRemoteKeywords = {
    K::LIST,
    K::FONT,
    K::USEFONT,
    K::CAPTION,
    K::SUBCAPTION,
    K::CHECKBOX,
    K::RADIOBUTTON,
    K::BASICGROUP,
    K::CHECKGROUP,
    K::GROUP,
    K::MULTIGROUP,
    K::ENDGROUP,
    K::EDIT,
    K::MASKEDIT,
    K::POPUP,
    K::COMBO,
    K::DATEFIELD,
    K::DATAHOLDER,
    K::BOX,
    K::HORIZRULE,
    K::CLEARBUTTON,
    K::COUNTRYDIALER,
    K::SETFIELD,
    K::SETINITIALVALUE,
    K::SETBLANKVALUE,
    K::DERIVE,
    K::RULE,
    K::CONSTRAINT,
    K::MASK,
    K::SETCONSTRAINT,
    K::SETCONSTRAINTTRIES,
    K::STRINGTABLE,
    K::DEFAULTFLAG,
    K::SETFONTCOLOR,
    K::SETFONTWEIGHT,
    K::SETERRORHANDLER,
    K::DOLISTSUBS,
    K::USELIST,
    K::CMNT,
    K::SKIP,
    K::ENDSKIP,
    K::END,
};

}  // namespace

bool ReadRemoteArguments(const engine::RemoteRecord& record, RemoteArguments& out)
{
    const QByteArrayView bytes = record.bytes;
    out = RemoteArguments();
    switch (record.command) {
    case SETF:
    case HIDF:
    case SHOF: {
        if (bytes.size() < kCodeOffset + 8)
            return false;
        char code[4];
        for (int i = 0; i < 4; ++i)
            code[i] = bytes[kCodeOffset + 2 * i];
        out.code = engine::FourCC::FromBytes(QByteArrayView(code, 4));
        if (record.command == SETF)
            out.text = utf16From(bytes, kFieldTextOffset);
        return true;
    }
    case TCMD:
        if (bytes.size() < kScriptTextOffset)
            return false;
        out.text = utf16From(bytes, kScriptTextOffset);
        return true;
    default: return true;
    }
}

bool RemoteScriptMayRun(int keyword)
{
    return std::find(kRemoteKeywords.begin(), kRemoteKeywords.end(), keyword) != kRemoteKeywords.end();
}

int ExecuteRemoteCommand(RegWind& window, const engine::RemoteRecord& record)
{
    const int command = record.command;
    RemoteArguments args;
    if (!ReadRemoteArguments(record, args)) {
        engine::EngineTrace(QStringLiteral("Remote command refused: record too short for its fields"));
        return command;
    }
    switch (command) {
    case SETF: window.SetControlValue(args.code, args.text, 0); break;
    case HIDF:
    case SHOF: window.ShowChild(args.code, command == SHOF); break;
    case NSCR:
    case PSCR: {
        const int before = window.GetCurrentPageIndex();
        window.OnNotify(&window, command == NSCR ? RegCommand::NextPage : RegCommand::PreviousPage, 0);
        if (window.GetCurrentPageIndex() != before)
            window.SetRemoteMoved(true);
        break;
    }
    case TCMD: window.RunScriptText(args.text); break;
    default: break;
    }
    return command;
}

}  // namespace launcher
