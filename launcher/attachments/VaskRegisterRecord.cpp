#include "launcher/attachments/VaskRegisterRecord.h"

#include "launcher/attachments/LauncherAttachments.h"
#include "launcher/window/RegWind.h"
#include "launcher/app/TextResource.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/core/LangCode.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/core/StringTableMgr.h"

#include "platform/process/Process.h"
#include "platform/registry/Registry.h"
#include "platform/shell/Shell.h"
#include "platform/text/Ascii.h"
#include "platform/text/Format.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>

using namespace engine;

namespace launcher {

namespace {

const QString kFieldsMarker = QStringLiteral("<<fields>>");
const QString kInstallPathValue = QStringLiteral("InstallPath");

// The product name comes from the script (or a downloaded one); the file it names must be
// a plain, visible file of the data folder: no separator to leave it, no leading dot that
// would hide it from the client's scan (an empty name gives ".tova"), no control
// characters.
bool isRegistrationFileName(const QString& name)
{
    if (!platform::isPlainFileName(name) || name.startsWith(u'.'))
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    }
    return true;
}

// The sub-folder must stay below the data folder: no ".." step.
bool staysBelow(const QString& subFolder)
{
    QString s = subFolder;
    s.replace(u'\\', u'/');
    for (const QStringView part : QStringView(s).split(u'/')) {
        if (part == u"..")
            return false;
    }
    return true;
}

}  // namespace

QStringList VaskRegisterRecord::ClientArguments(int hours, const QString& file, const QDateTime& now)
{
    if (hours == 0)
        return {QStringLiteral("/import"), file};
    const QDateTime start = now.addSecs(qint64(hours) * 3600).toLocalTime();
    return {QStringLiteral("/schedule"), start.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))};
}

QByteArray VaskRegisterRecord::RenderTemplate(RegWind& window, const QString& templateText)
{
    QByteArray out;
    QList<QStringView> lines = QStringView(templateText).split(u'\n');
    // A final line feed ends the last line; it does not start another.
    if (lines.size() > 1 && lines.back().isEmpty())
        lines.removeLast();
    for (QStringView line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (platform::asciiLower(line.trimmed().toString()) == kFieldsMarker) {
            out += window.FieldsText(u'\n', RegWind::kLeaveOutPrivate).toUtf8();
            continue;
        }
        if (line.startsWith(QChar(0xFEFF)))
            line = line.mid(1);
        // A tag's value may hold a line break; it must not start a line of the file's own.
        out += RegWind::OneLine(window.SubstituteTags(line.toString(), false)).toUtf8();
        out += '\n';
    }
    return out;
}

bool VaskRegisterRecord::ExecuteSelf(Attachable* attachable, quint32)
{
    RegWind* window = RegWindOf(attachable);
    if (window == nullptr || !test_.Evaluate(*window))
        return true;
    const QString file = WriteRegistrationFile(*window);
    if (!file.isEmpty())
        StartClient(file);
    return true;
}

QString VaskRegisterRecord::WriteRegistrationFile(RegWind& window) const
{
    const std::optional<QString> text =
        LoadTextResource(QStringLiteral("launcher"), QStringLiteral("Vask"), LangCode::Current());
    if (!text) {
        EngineTrace(platform::formatText(QStringLiteral("%s: no registration-file template for language %s"), GetName(),
                                         LangCode::Current().GetString()));
        return {};
    }
    if (!staysBelow(subFolder_)) {
        EngineTrace(platform::formatText(QStringLiteral("%s: the sub-folder %s leaves the data folder"), GetName(),
                                         subFolder_));
        return {};
    }
    QString error;
    const QString folder = platform::folderPath(platform::Folder::AppData, subFolder_, true, &error);
    if (folder.isEmpty()) {
        EngineTrace(platform::formatText(QStringLiteral("%s: %s"), GetName(), error));
        return {};
    }
    const QString name = window.SubstituteTags(QStringLiteral("<PRNM>.tova"), false);
    if (!isRegistrationFileName(name)) {
        EngineTrace(platform::formatText(QStringLiteral("%s: \"%s\" is not a file name for the registration file"),
                                         GetName(), name));
        return {};
    }
    const QString path = folder + u'/' + name;

    const QByteArray out = RenderTemplate(window, *text);
    // Written aside and renamed into place, so the client never imports half a file.
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(out) != out.size() || !f.commit()) {
        EngineTrace(
            platform::formatText(QStringLiteral("%s: unable to write %s: %s"), GetName(), path, f.errorString()));
        return {};
    }
    return path;
}

void VaskRegisterRecord::StartClient(const QString& file) const
{
    const QString key = QStringLiteral("SOFTWARE\\") + subFolder_;
    const std::optional<platform::RegValue> value =
        platform::Registry::value(platform::RootKey::LocalMachine, key, kInstallPathValue);
    if (!value || (value->type != platform::RegType::String && value->type != platform::RegType::ExpandString) ||
        value->text.isEmpty()) {
        EngineTrace(
            platform::formatText(QStringLiteral("%s: no client path in %s\\%s"), GetName(), key, kInstallPathValue));
        return;
    }
    const QString program = value->text;
    const QString folder = QFileInfo(file).absolutePath();
    QString error;
    if (!platform::spawnDetached(program, ClientArguments(hours_, file, QDateTime::currentDateTime()), folder, &error))
        EngineTrace(platform::formatText(QStringLiteral("%s: %s"), GetName(), error));
}

void VaskRegisterRecord::ReadParameters(QmStrStream& stream)
{
    test_.ReadFromScript(stream);
    subFolder_ = MakeStringResolved(ReadScriptToken(stream));
    stream.readInt(hours_);
}

}  // namespace launcher
