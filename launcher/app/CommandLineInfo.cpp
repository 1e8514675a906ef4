#include "launcher/app/CommandLineInfo.h"

#include "platform/text/Ascii.h"

namespace launcher {

CommandLineInfo::~CommandLineInfo() = default;

void CommandLineInfo::ParseParam(const QString& param, bool flag, bool)
{
    if (flag) {
        if (platform::asciiEqualsIgnoreCase(param, QStringLiteral("p")))
            print_ = true;
    } else if (fileName_.isEmpty()) {
        fileName_ = param;
    }
}

// Decided from everything seen, since the last argument may be one the subclass took.
CommandLineInfo::ShellCommand CommandLineInfo::GetShellCommand() const
{
    if (fileName_.isEmpty())
        return ShellCommand::FileNew;
    return print_ ? ShellCommand::FilePrint : ShellCommand::FileOpen;
}

void CommandLineInfo::ParseCommandLine(const QStringList& arguments)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString param = arguments[i];
        const bool flag = param.startsWith(u'/') || param.startsWith(u'-');
        if (flag)
            param.remove(0, 1);
        ParseParam(param, flag, i + 1 == arguments.size());
    }
}

}  // namespace launcher
