// Any bytes as a registry hive file. A hive the parser takes must be written so that it
// reads back to the same text: the layer refuses to write one that does not, which would
// leave the user's settings stuck.
#include "platform/registry/Registry.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const RootKey root : {RootKey::CurrentUser, RootKey::LocalMachine}) {
        QString error;
        const std::optional<Hive> hive = Hive::parse(root, text, &error);
        if (!hive) {
            if (!error.startsWith(QStringLiteral("line ")))
                std::abort();
            continue;
        }
        const QByteArray written = hive->serialize();
        const std::optional<Hive> back = Hive::parse(root, written, &error);
        if (!back) {
            std::fprintf(stderr, "written hive does not read back: %s\n", qPrintable(error));
            std::abort();
        }
        if (back->serialize() != written) {
            std::fprintf(stderr, "written hive reads back to another text\n");
            std::abort();
        }
    }
    return 0;
}
