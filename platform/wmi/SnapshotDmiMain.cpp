// ovex-snapshot-dmi [DMI-FOLDER]: run by the installation as root. sysfs lets only root read
// the serial numbers and the UUID, so their values are recorded in the machine hive, where
// the programs, run by users, find them.
#include "platform/registry/Registry.h"
#include "platform/wmi/DmiSnapshot.h"
#include "platform/wmi/LinuxWmi.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() > 1 || (args.size() == 1 && args[0].startsWith(u'-'))) {
        std::fprintf(stderr,
                     "usage: ovex-snapshot-dmi [DMI-FOLDER]\n"
                     "Records the DMI values of DMI-FOLDER (default /sys/class/dmi/id, or\n"
                     "$OVEX_DMI_DIR) in the machine hive.\n");
        return 2;
    }
    const QString folder = args.isEmpty() ? platform::LinuxWmiRoots::fromEnvironment().dmi : args[0];
    QString error;
    const auto values = platform::readDmiFolder(folder, &error);
    if (!values || !platform::writeDmiSnapshot(*values, &error)) {
        std::fprintf(stderr, "ovex-snapshot-dmi: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("ovex-snapshot-dmi: %lld DMI values from %s recorded in %s\n", static_cast<long long>(values->size()),
                qPrintable(folder), qPrintable(platform::Registry::hiveFilePath(platform::RootKey::LocalMachine)));
    return 0;
}
