// Any bytes as a page script (UTF-8, or UTF-16LE after its byte-order mark), run by the
// interpreter with every keyword it knows, offscreen, in a throwaway home: registry, data
// folders and the program folder of INCLUDE are empty folders of its own, message boxes
// answer at once, traces are dropped.
#include "launcher/script/ScriptReader.h"

#include "regengine/core/Displayer.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/core/LangCode.h"
#include "regengine/core/QmStrStream.h"

#include "platform/ui/Ui.h"

#include <QApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>

using namespace engine;
using namespace launcher;

namespace {

class Silent final : public Displayer, public platform::MessageSink {
public:
    void Clear() override {}
    void Append(QStringView) override {}
    int messageBox(const QString&, const QString&, unsigned style) override { return platform::defaultButton(style); }
    void beep(unsigned) override {}
};

struct World {
    QTemporaryDir home{QDir::tempPath() + QStringLiteral("/script-fuzz-XXXXXX")};
    std::unique_ptr<QApplication> app;
    Silent silent;

    World()
    {
        const QString root = home.path();
        for (const char* folder : {"home", "config", "data", "cache", "runtime", "registry", "program", "dmi"})
            QDir(root).mkpath(QString::fromLatin1(folder));
        qputenv("HOME", QFile::encodeName(root + QStringLiteral("/home")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + QStringLiteral("/config")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(root + QStringLiteral("/data")));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(root + QStringLiteral("/cache")));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root + QStringLiteral("/runtime")));
        qputenv("OVEX_REGISTRY_DIR", QFile::encodeName(root + QStringLiteral("/registry")));
        qputenv("OVEX_DMI_DIR", QFile::encodeName(root + QStringLiteral("/dmi")));
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QLoggingCategory::setFilterRules(QStringLiteral("*=false"));
        static int argc = 1;
        static char name[] = "fuzz_page_script";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
        SetTraceDisplayer(&silent);
        platform::setMessageSink(&silent);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static World* world = new World;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QString script;
    if (bytes.startsWith("\xFF\xFE"))
        script = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
    else
        script = QString::fromUtf8(bytes);
    auto reader =
        std::make_unique<ScriptReader>(std::make_unique<QmStrStream>(script), QStringLiteral("flg"), LangCode("EN"));
    reader->SetProgramFolder(world->home.path() + QStringLiteral("/program"));
    try {
        reader->Run();
    } catch (const RegWindLoadedUpdate&) {
        // A first page that hands the run to a saved replacement script ends it here.
    }
    reader.reset();
    return 0;
}
