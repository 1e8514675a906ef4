#include "launcher/update/ResourceUpdate.h"

#include "launcher/script/ScriptReader.h"
#include "launcher/script/ScriptTarget.h"
#include "launcher/update/ResUpdateDialog.h"
#include "launcher/update/UpdateFolder.h"
#include "launcher/window/RegWind.h"

#include "regengine/core/EngineRegistry.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/SmartFile.h"
#include "regengine/core/StringTableMgr.h"

#include "platform/registry/Registry.h"
#include "platform/shell/Shell.h"
#include "platform/text/Format.h"
#include "platform/ui/Ui.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <atomic>

using namespace engine;

namespace launcher {

namespace {

const QString kUpdatesValue = QStringLiteral("Updates");
// A saved script larger than this is not read: the download's own limit.
constexpr qint64 kMaxScriptBytes = qint64(8) << 20;

std::atomic<bool>& updateAllowed()
{
    static std::atomic<bool> allowed{true};
    return allowed;
}

// `path` with links resolved when it lies under the engine's folder; else empty.
QString insideEngineFolder(const QString& path)
{
    const QString engine = QFileInfo(EngineFolder()).canonicalFilePath();
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (engine.isEmpty() || canonical.isEmpty() || !canonical.startsWith(engine + u'/'))
        return {};
    return canonical;
}

bool writeUtf8(const QString& path, const QString& text)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0 && file.commit();
}

}  // namespace

QString ResourceUpdate::DefaultHost()
{
    return QStringLiteral(OVEX_RESUPDATE_HOST);
}

ResourceUpdate::ResourceUpdate(RegWind& window) : window_(window), host_(DefaultHost()) {}

bool ResourceUpdate::IsUpdateAllowed()
{
    return updateAllowed().load();
}

void ResourceUpdate::SetUpdateAllowed(bool allowed)
{
    updateAllowed().store(allowed);
}

void ResourceUpdate::SetServer(const QString& host, quint16 port)
{
    host_ = host;
    port_ = port;
}

QString ResourceUpdate::ScriptFileName() const
{
    const ScriptReader* reader = window_.GetScriptReader();
    return QStringLiteral("pages") + (reader ? reader->GetLanguage().GetString() : QString()) + QStringLiteral(".dat");
}

QString ResourceUpdate::StoredFolder(const QString& keyPath)
{
    const std::optional<platform::RegValue> value =
        platform::Registry::value(platform::RootKey::CurrentUser, keyPath, kUpdatesValue);
    if (!value || value->type != platform::RegType::String || value->text.isEmpty())
        return {};
    const QString folder = insideEngineFolder(value->text);
    if (folder.isEmpty())
        EngineTrace(
            platform::formatText(QStringLiteral("The update folder %s is not the engine's: ignored"), value->text));
    return folder;
}

QString ResourceUpdate::SavePages(const QString& text, const SaveTarget& target)
{
    QString folder = StoredFolder(target.keyPath);
    if (!folder.isEmpty() && writeUtf8(folder + u'/' + target.fileName, text)) {
        RememberUpdateFolder(folder);
        return folder;
    }
    // The codes name folders of their own: nothing that could climb out of them.
    if (!platform::isPlainFileName(target.product) || !platform::isPlainFileName(target.build) ||
        !platform::isPlainFileName(target.fileName)) {
        EngineTrace(QStringLiteral("SavePages: the product or build code cannot name a folder"));
        return {};
    }
    const QString engine = EngineFolder();
    const QString base = engine + QStringLiteral("/Updates/") + target.product;
    if (engine.isEmpty() || !QDir().mkpath(base))
        return {};
    folder.clear();
    for (int attempt = 0; attempt < 10 && folder.isEmpty(); ++attempt) {
        const QString name =
            platform::formatText(QStringLiteral("%s-%03X"), target.build, QRandomGenerator::global()->bounded(1000));
        // The last level must be new: another run's folder is never shared.
        if (QDir(base).mkdir(name))
            folder = base + u'/' + name;
    }
    if (folder.isEmpty() || !writeUtf8(folder + u'/' + target.fileName, text)) {
        EngineTrace(QStringLiteral("SavePages: no folder could be made for the update"));
        return {};
    }
    if (QString error; !platform::Registry::setValue(platform::RootKey::CurrentUser, target.keyPath, kUpdatesValue,
                                                     platform::RegValue::fromString(folder), &error))
        EngineTrace(QStringLiteral("SavePages: ") + error);
    RememberUpdateFolder(folder);
    return folder;
}

ResUpdateWorker::Config ResourceUpdate::MakeConfig() const
{
    ResUpdateWorker::Config config;
    config.host = host_;
    config.port = port_;
    config.product = window_.FieldValue(FourCC("PROD"));
    config.build = window_.FieldValue(FourCC("BlVr"));
    config.version = window_.FieldValue(FourCC("VERS"));
    const ScriptReader* reader = window_.GetScriptReader();
    config.language = reader ? reader->GetLanguage().GetString() : QString();
    // String tables belong to this thread; the worker gets copies.
    for (int n = 0; n <= 16; ++n)
        config.texts << MakeStringFromTable(FourCC("RUPD"), n);
    const SaveTarget target{EngineRegistryKeyPath(), config.product, config.build, ScriptFileName()};
    config.save = [target](const QString& text) { SavePages(text, target); };
    config.started = [] { SetUpdateAllowed(false); };
    return config;
}

void ResourceUpdate::AskOnlineUpdate()
{
    const int type = window_.GetSettings().resourceUpdate;
    if (!IsUpdateAllowed() || type == 0)
        return;
    if (type == 1) {
        const QString question =
            GetTableString(QStringLiteral("Veldora would like to check online for possible updates.  Is this OK?"), 14,
                           FourCC("RGWN"));
        const QString caption = GetTableString(QStringLiteral("Question"), 13, FourCC("RGWN"));
        if (platform::messageBox(question, caption, platform::mb::YesNo | platform::mb::IconQuestion) !=
            platform::id::Yes) {
            // Declined once, not asked again in this process.
            SetUpdateAllowed(false);
            return;
        }
    }
    window_.ReadProductHeaders();
    FieldList fields;
    for (int kind : {RegWind::PageFields, RegWind::HeaderRecord, RegWind::StoredValues})
        fields.Merge(*window_.GetList(kind));
    ResUpdateDialog dialog(window_, std::move(fields), MakeConfig(), &window_);
    if (runner_)
        runner_(dialog);
    else
        dialog.exec();
}

void ResourceUpdate::LoadUpdatedPages()
{
    if (loaded_ || window_.GetSettings().resourceUpdate == 0)
        return;
    // Once only: the replacement's own first page comes through here again.
    loaded_ = true;
    window_.ReadProductHeaders();
    const QString folder = StoredFolder(EngineRegistryKeyPath());
    if (folder.isEmpty())
        return;
    QFile file(folder + u'/' + ScriptFileName());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QString text = QString::fromUtf8(file.read(kMaxScriptBytes));
    ScriptReader* reader = window_.GetScriptReader();
    if (reader == nullptr)
        return;
    RememberUpdateFolder(folder);
    window_.ClearPages();
    QmStrStream script(text);
    reader->Run(&script);
    throw RegWindLoadedUpdate{};
}

}  // namespace launcher
