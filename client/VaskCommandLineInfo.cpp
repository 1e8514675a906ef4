#include "client/VaskCommandLineInfo.h"

#include "platform/text/Ascii.h"

namespace client {

namespace {
const QStringList kSwitches{QStringLiteral("reset"), QStringLiteral("auto"), QStringLiteral("import"),
                            QStringLiteral("test"), QStringLiteral("schedule")};
}

QString VaskCommandLineInfo::SwitchName(const QString& argument)
{
    if (argument.size() < 2 || (argument[0] != u'/' && argument[0] != u'-'))
        return {};
    const QString name = platform::asciiLower(argument.mid(1));
    return kSwitches.contains(name) ? name : QString();
}

void VaskCommandLineInfo::Parse(const QStringList& arguments)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString name = SwitchName(arguments[i]);
        const bool last = i + 1 == arguments.size();
        if (name.isEmpty())
            ParseParam(arguments[i], false, last);
        else
            ParseParam(name, true, last);
    }
}

void VaskCommandLineInfo::ParseParam(const QString& param, bool isSwitch, bool /*last*/)
{
    if (isSwitch) {
        const QString name = platform::asciiLower(param);
        if (name == u"reset")
            reset = true;
        else if (name == u"auto")
            autoRun = true;
        else if (name == u"import")
            import = true;
        else if (name == u"test")
            test = true;
        else if (name == u"schedule")
            schedule = true;
        return;
    }
    if (schedule && scheduleText.isEmpty())
        scheduleText = param;
    else if (import && importPath.isEmpty())
        importPath = param;
    else
        otherArguments << param;
}

}  // namespace client
