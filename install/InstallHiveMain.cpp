// ovex-install-hive [--oem] CLIENT-PATH: run by the installation. Records the client's
// path as "InstallPath" in the machine hive, where the launcher finds the program it hands
// over to; with --oem also "oobeSystem" = 1, the first-boot pass an OEM image has been
// through, without which the launcher never runs. Every other value of the hive stays.
#include "platform/registry/Registry.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

namespace {

const QString kProductKey = QStringLiteral("SOFTWARE\\Ovex\\Ovex Kelvo");
const QString kSetupKey = QStringLiteral("SYSTEM\\Setup\\Status\\UnattendPasses");

int usage()
{
    std::fprintf(stderr,
                 "usage: ovex-install-hive [--oem] CLIENT-PATH\n"
                 "Records CLIENT-PATH (absolute) as InstallPath in the machine hive; --oem also\n"
                 "records oobeSystem=1. OVEX_REGISTRY_DIR names the hive's folder.\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool oem = args.removeAll(QStringLiteral("--oem")) > 0;
    if (args.size() != 1 || args[0].startsWith(u'-') || !QFileInfo(args[0]).isAbsolute())
        return usage();
    const QString client = args[0];

    bool stored = true;
    QString error;
    const bool written = platform::Registry::update(
        platform::RootKey::LocalMachine,
        [&](platform::Hive& hive) {
            stored = hive.setValue(kProductKey, QStringLiteral("InstallPath"), platform::RegValue::fromString(client),
                                   &error);
            if (oem)
                stored = stored && hive.setValue(kSetupKey, QStringLiteral("oobeSystem"),
                                                 platform::RegValue::fromDWord(1), &error);
            return stored;
        },
        &error);
    const QString file = platform::Registry::hiveFilePath(platform::RootKey::LocalMachine);
    if (!written || !stored) {
        std::fprintf(stderr, "ovex-install-hive: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("ovex-install-hive: InstallPath=%s%s recorded in %s\n", qPrintable(client), oem ? ", oobeSystem=1" : "",
                qPrintable(file));
    return 0;
}
