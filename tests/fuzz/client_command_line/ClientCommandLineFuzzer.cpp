// Any bytes as the client's command line, one argument a line (UTF-8). Only the five
// switches are switches, each sets its own flag, and every plain argument lands in exactly
// one place: the start time, the file to import or the others.
#include "client/VaskCommandLineInfo.h"

#include <cstdint>
#include <cstdlib>

using namespace client;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList arguments;
    for (const QByteArray& line : bytes.split('\n'))
        arguments << QString::fromUtf8(line);
    VaskCommandLineInfo info;
    info.Parse(arguments);
    QStringList plain;
    QStringList switches;
    for (const QString& argument : arguments) {
        const QString name = VaskCommandLineInfo::SwitchName(argument);
        (name.isEmpty() ? plain : switches) << (name.isEmpty() ? argument : name);
    }
    const bool flags[] = {info.reset, info.autoRun, info.import, info.test, info.schedule};
    const char* const names[] = {"reset", "auto", "import", "test", "schedule"};
    for (int i = 0; i < 5; ++i)
        if (flags[i] != switches.contains(QLatin1String(names[i])))
            std::abort();
    QStringList placed = info.otherArguments;
    if (!info.scheduleText.isEmpty())
        placed << info.scheduleText;
    if (!info.importPath.isEmpty())
        placed << info.importPath;
    plain.removeAll(QString());
    placed.removeAll(QString());
    plain.sort();
    placed.sort();
    if (plain != placed)
        std::abort();
    return 0;
}
